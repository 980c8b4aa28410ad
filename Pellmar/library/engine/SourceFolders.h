#pragma once

// The rules a folder meets before it becomes a folder source: it is a folder whose name the
// program can read, and its files are nobody else's (one file is one copy, so sources never overlap).

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <optional>

// A folder someone asked to index, as the disk shows it.
struct SourceFolderCheck {
    QString path;      // the real path (symlinks resolved); empty when refused
    QString problem;   // why it cannot be a source, as the user reads it; empty when it can

    bool operator==(const SourceFolderCheck&) const = default;
};

// Looks at the absolute path `folder`: a missing path, a file and a name that is not valid UTF-8
// (read from bytes as U+FFFD, so that the path cannot be found again) are refused. Touches the disk.
SourceFolderCheck checkSourceFolder(const QString& folder);

// How a real folder path lies among the folder sources.
struct SourceOverlap {
    std::optional<Source> inside;   // the source whose root is the folder or holds it (the deepest one)
    QList<Source> held;             // the sources whose roots lie below the folder, in source order
};
SourceOverlap sourceOverlap(const QString& path, const QList<Source>& sources);

// The user's sentence for a folder that holds sources.
QString holdsSourcesProblem(const QString& path, const QList<Source>& held);
