#pragma once

// What the item detail and its copy rows show, computed from the item, its copies and the facts
// the Library looked up about their files.

#include "Pellmar/library/Library.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace inspector {

// The sources of the item's file copies that are not plugged in: each name once, in plain text order.
QStringList offlineSourceNames(const QList<Location>& locations, const QSet<QString>& online);

// The line under the title when no copy can be opened now.
struct StatusLine {
    enum class Kind { none, cloud, offline } kind = Kind::none;
    QString text;
    bool operator==(const StatusLine&) const = default;
};
StatusLine statusLine(const QList<Location>& locations, const QSet<QString>& online, const Library::FileFacts& facts);

// How the preview is drawn, and at which width-to-height ratio.
enum class PreviewKind { player, documentPicture, documentIcon, picture };
PreviewKind previewKind(const Item& item, bool hasProxy, bool hasImage);
double previewRatio(const Item& item, PreviewKind kind);

struct Fact {
    QString label;
    QString value;
    bool operator==(const Fact&) const = default;
};
// The item's labelled facts, in the order they are shown; a document's size, creation and change
// dates come from its copies and its reachable file.
QList<Fact> itemFacts(const Item& item, const QList<Location>& locations, std::optional<double> created);

// "Where it is", or with the count of copies when it is not 1; the count the search gave for the
// item, else the number of copies loaded.
QString copiesHeader(const Item& item, const QHash<QString, qint64>& copies, const QList<Location>& locations);

// One copy as a row: where it is, its size and whether it can be reached.
struct CopyRow {
    bool online = false;
    QString source;
    QString place;
    QString detail;
    bool showInFiles = false;
    bool operator==(const CopyRow&) const = default;
};
QString copyStatus(const Location& location, bool online);
CopyRow copyRow(const Location& location, const QSet<QString>& online);

} // namespace inspector
