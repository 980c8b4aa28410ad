#pragma once

// What the sidebar shows, unrolled into a flat list of entries, and what its rows offer.

#include "Pellmar/index/Index.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/library/LibraryValues.h"
#include "Pellmar/views/kit/WorkspaceMembers.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Everything the sidebar reads of the Library.
struct SidebarInputs {
    QList<FolderNode> workspaceTrees;
    NodeLookup nodeForKey;
    QList<Source> sources;
    QSet<QString> online;
    QStringList hiddenSources;
    QStringList hiddenSmart;
    QStringList pinned;
    QSet<QString> expanded;
    QHash<QString, Index::SourceProgress> sourceProgress;
    qint64 allCount = 0;
    qint64 favoriteCount = 0;
    qint64 notBackedUpCount = 0;
    std::optional<QString> sourceFilter;
    bool favoritesOnly = false;
    bool notBackedUp = false;
    std::optional<QString> selectedDevice;
    std::optional<QString> selectedNodeID;
    QString workspaceID;
    QList<Device> devices;
    std::optional<SourceVerification> verification;
    QList<Index::FileFailure> failures;
    std::optional<QString> lastError;
    // Whether the list of unreadable files is open; the sidebar keeps this itself.
    bool failuresOpen = false;
};

enum class SidebarEntryKind {
    row,            // a fixed row, a pinned folder or a row of a folder tree
    progress,       // the scan progress under a source's row
    header,         // a section's title
    emptyText,      // the note of an empty section
    device,
    verification,   // the last verification: a title and its counts
    failures,       // the disclosure line of the files that could not be read
    failure,        // one of them: the path and the error
    error,          // the last error, in red
};

// What a click on a row does.
enum class RowTarget { allItems, favorites, notBackedUp, pinned, tree };

// What an entry draws; a widget repaints only when this changes.
struct SidebarLook {
    int depth = 0;
    QString icon;
    QString text;      // a row's name, a header's title, or the entry's text
    QString caption;   // under a row's name; the counts of a verification; a failure's error
    qint64 count = 0;
    bool selected = false;
    std::optional<bool> dot;       // green when true, grey when false
    std::optional<bool> chevron;   // present on rows that open: true while open
    bool reservesChevron = false;
    bool canAdd = false;           // a header with the add button
    bool open = false;             // the failures line, while its list shows
    qint64 done = 0;               // progress
    qint64 total = 0;
    bool operator==(const SidebarLook&) const = default;
};

struct SidebarEntry {
    SidebarEntryKind kind = SidebarEntryKind::row;
    QString key;   // unique in one list, and the same for the same thing in the next one
    SidebarLook look;
    RowTarget target = RowTarget::allItems;
    std::optional<FolderNode> node;   // pinned and tree rows
    std::optional<Device> device;
};

QList<SidebarEntry> flattenSidebar(const SidebarInputs& inputs);

// A click on a tree row selects it and opens it when it is closed, or when it already was the
// selected row closes or opens it; the chevron only opens and closes.
bool tapToggles(const SidebarLook& look);

// Row geometry.
int sidebarRowIndent(int depth);
int sidebarRowHeight(bool hasCaption);
// The count at a row's end in the locale's grouping; nothing below 1.
QString sidebarCountText(qint64 count);

// The context menu of a pinned folder or a tree row.
enum class FolderCommand { pin, reveal, paste, toggleExpanded, rescan, verify, stopIndexing };
struct FolderMenuEntry {
    QString text;
    FolderCommand command;
    bool separatorBefore = false;
    bool operator==(const FolderMenuEntry&) const = default;
};
struct FolderMenuInputs {
    bool pinned = false;
    bool online = false;
    std::optional<Source> source;
    bool canPaste = false;
};
// Pin or unpin, show in the file manager, paste.
QList<FolderMenuEntry> folderMenu(const FolderMenuInputs& inputs);
// The folder menu, then opening and closing, and for a source's root its scan, verification and removal.
QList<FolderMenuEntry> treeMenu(const FolderNode& node, const SidebarLook& look, const FolderMenuInputs& inputs);
