#pragma once

#include <QString>
#include <QStringList>

// A realistic synthetic index for measuring the index at scale: three sources (a home folder,
// an external drive, a photo library with albums), one folder per fifty files, 85 % as many
// items as files with a tenth of them copied to a second source, weak-id twins, full-text rows,
// favorites in two workspaces, pins, and a share of files still waiting to be indexed.
struct SyntheticIndex {
    static constexpr auto homeSourceID = "A0000000-0000-0000-0000-000000000001";
    static constexpr auto driveSourceID = "A0000000-0000-0000-0000-000000000002";
    static constexpr auto photosSourceID = "A0000000-0000-0000-0000-000000000003";
    static constexpr auto workspaceID = "B0000000-0000-0000-0000-000000000001";

    // Builds the index at `path` (replacing any file there) with `fileCount` file rows.
    static void generate(const QString& path, qint64 fileCount);

    // The member keys of the workspace (a whole source, a folder, a smart group).
    static QStringList workspaceMembers();

    // A folder path of the home source that holds files, and one of its words for full-text queries.
    static QString sampleFolder();
    static QString sampleWord();
};
