#include "Pellmar/views/sidebar/SidebarRules.h"

#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/PlaceWords.h"

#include <QLocale>

#include <algorithm>

namespace {

constexpr int drivesRank = 3;

QString smartIcon(SmartFilter filter)
{
    switch (filter) {
    case SmartFilter::favorites: return QStringLiteral("heart");
    case SmartFilter::recents: return QStringLiteral("clock");
    case SmartFilter::photos: return QStringLiteral("photo");
    case SmartFilter::videos: return QStringLiteral("video");
    case SmartFilter::raw: return QStringLiteral("camera.aperture");
    case SmartFilter::screenshots: return QStringLiteral("camera.viewfinder");
    case SmartFilter::albums: return QStringLiteral("rectangle.stack");
    }
    return QStringLiteral("folder");
}

bool isRoot(const FolderNode& node)
{
    return node.path.isEmpty() && !node.smart;
}

const Source* findSource(const QList<Source>& sources, const QString& id)
{
    const auto found = std::find_if(sources.begin(), sources.end(), [&](const Source& s) { return s.id == id; });
    return found == sources.end() ? nullptr : &*found;
}

class Flattener {
public:
    explicit Flattener(const SidebarInputs& inputs) : in_(inputs)
    {
        // Room for what every open tree shows, so that the list and its keys grow without moving.
        const qsizetype expected = 16 + in_.pinned.size() + in_.devices.size() + in_.failures.size() + openNodes(in_.workspaceTrees);
        entries_.reserve(expected);
        keys_.reserve(expected);
        for (const Source& source : in_.sources)
            ranks_.insert(source.id, source.placeRank());
    }

    QList<SidebarEntry> run()
    {
        const bool noDevice = !in_.selectedDevice;
        fixedRow(RowTarget::allItems, QStringLiteral("All items"), QStringLiteral("house"), in_.allCount,
                 noDevice && !in_.sourceFilter && !in_.favoritesOnly && !in_.notBackedUp);
        fixedRow(RowTarget::favorites, QStringLiteral("Favorites"), QStringLiteral("star"), in_.favoriteCount,
                 noDevice && in_.favoritesOnly);
        fixedRow(RowTarget::notBackedUp, QStringLiteral("Not backed up"),
                 QStringLiteral("externaldrive.badge.exclamationmark"), in_.notBackedUpCount,
                 noDevice && in_.notBackedUp);
        for (const QString& key : in_.pinned) {
            if (std::optional<FolderNode> node = in_.nodeForKey ? in_.nodeForKey(key) : std::nullopt)
                pinnedRow(*node);
        }

        QList<FolderNode> thisComputer, drives, folders;
        for (const FolderNode& tree : in_.workspaceTrees) {
            if (in_.hiddenSources.contains(tree.sourceID))
                continue;
            const int rank = ranks_.value(tree.sourceID, 4);
            (rank < drivesRank ? thisComputer : rank == drivesRank ? drives : folders).append(tree);
        }
        treeSection(QString::fromUtf16(thisComputerLabel), thisComputer, {}, false);
        treeSection(QStringLiteral("Drives"), drives,
                    in_.workspaceID == Index::everythingWorkspaceID ? QStringLiteral("Plug in a drive or add a folder") : QString(), true);
        if (!in_.devices.isEmpty()) {
            header(QStringLiteral("Devices"), false);
            for (const Device& device : in_.devices) {
                SidebarEntry& entry = add(SidebarEntryKind::device, QStringLiteral("device:") + device.id());
                entry.device = device;
                entry.look.text = device.name;
            }
        }
        treeSection(QStringLiteral("Folders"), folders, {}, false);

        statusBlocks();
        return std::move(entries_);
    }

private:
    // The nodes of the trees whose parents are all open, the trees themselves included.
    qsizetype openNodes(const QList<FolderNode>& nodes) const
    {
        qsizetype count = nodes.size();
        for (const FolderNode& node : nodes) {
            if (in_.expanded.contains(node.id))
                count += openNodes(node.children);
        }
        return count;
    }

    SidebarEntry& add(SidebarEntryKind kind, QString key)
    {
        // The same node may be listed twice (a folder and its source both members of a workspace
        // stored elsewhere); its second entry gets a key of its own.
        if (int& seen = keys_[key]; seen++ > 0)
            key += u'#' + QString::number(seen);
        entries_.append(SidebarEntry{.kind = kind, .key = std::move(key)});
        return entries_.last();
    }

    void fixedRow(RowTarget target, const QString& name, const QString& icon, qint64 count, bool selected)
    {
        SidebarEntry& entry = add(SidebarEntryKind::row, QStringLiteral("fixed:") + name);
        entry.target = target;
        entry.look.icon = icon;
        entry.look.text = name;
        entry.look.count = count;
        entry.look.selected = selected;
    }

    bool isSelected(const FolderNode& node) const { return in_.selectedNodeID == node.key(); }

    void pinnedRow(const FolderNode& node)
    {
        const Source* source = findSource(in_.sources, node.sourceID);
        SidebarEntry& entry = add(SidebarEntryKind::row, QStringLiteral("pin:") + node.key());
        entry.target = RowTarget::pinned;
        entry.node = node;
        SidebarLook& look = entry.look;
        look.text = node.name;
        look.count = node.count;
        look.selected = isSelected(node);
        if (node.smart)
            look.icon = smartIcon(*node.smart);
        else if (!isRoot(node) || !source)
            look.icon = QStringLiteral("folder");
        else
            look.icon = Icons::placeSymbol(source->placeRank());
        if (source && !isRoot(node) && source->placeRank() != 0)
            look.caption = source->name;
    }

    void header(const QString& title, bool canAdd)
    {
        SidebarEntry& entry = add(SidebarEntryKind::header, QStringLiteral("section:") + title);
        entry.look.text = title;
        entry.look.canAdd = canAdd;
    }

    // A section draws nothing while empty unless it has a note for that.
    void treeSection(const QString& title, const QList<FolderNode>& trees, const QString& emptyText, bool canAdd)
    {
        if (trees.isEmpty() && emptyText.isEmpty())
            return;
        header(title, canAdd);
        if (trees.isEmpty()) {
            add(SidebarEntryKind::emptyText, QStringLiteral("empty:") + title).look.text = emptyText;
            return;
        }
        const bool reserve = std::any_of(trees.begin(), trees.end(),
                                         [](const FolderNode& tree) { return !tree.children.isEmpty(); });
        for (const FolderNode& tree : trees)
            treeRows(tree, 0, reserve);
    }

    void treeRows(const FolderNode& node, int depth, bool reserve)
    {
        QList<const FolderNode*> visible;
        for (const FolderNode& child : node.children) {
            if (!child.smart || !in_.hiddenSmart.contains(rawValue(*child.smart)))
                visible.append(&child);
        }
        const bool root = isRoot(node);
        const bool expanded = in_.expanded.contains(node.id);
        const Source* source = findSource(in_.sources, node.sourceID);
        const int rank = source ? source->placeRank() : 4;

        SidebarEntry& entry = add(SidebarEntryKind::row, QStringLiteral("tree:") + node.id);
        entry.target = RowTarget::tree;
        entry.node = node;
        SidebarLook& look = entry.look;
        look.depth = depth;
        look.text = node.name;
        look.count = node.count;
        look.selected = isSelected(node);
        look.reservesChevron = reserve;
        if (!visible.isEmpty())
            look.chevron = expanded;
        if (node.smart)
            look.icon = smartIcon(*node.smart);
        else if (root)
            look.icon = Icons::placeSymbol(rank);
        else
            look.icon = QStringLiteral("folder");
        if (root && rank > 2)
            look.dot = in_.online.contains(node.sourceID);

        if (root) {
            const auto progress = in_.sourceProgress.constFind(node.sourceID);
            if (progress != in_.sourceProgress.cend() && progress->done < progress->total) {
                SidebarEntry& bar = add(SidebarEntryKind::progress, QStringLiteral("progress:") + node.id);
                bar.look.done = progress->done;
                bar.look.total = progress->total;
            }
        }
        if (expanded) {
            for (const FolderNode* child : visible)
                treeRows(*child, depth + 1, true);
        }
    }

    void statusBlocks()
    {
        const QLocale locale;
        if (const auto& verification = in_.verification) {
            SidebarEntry& entry = add(SidebarEntryKind::verification, QStringLiteral("verification"));
            entry.look.text = QStringLiteral("Verified ") + verification->source;
            const Verification& counts = verification->result;
            entry.look.caption = locale.toString(counts.checked) + QStringLiteral(" checked, ") +
                                 locale.toString(counts.changed) + QStringLiteral(" changed, ") +
                                 locale.toString(counts.missing) + QStringLiteral(" missing, ") +
                                 locale.toString(counts.added) + QStringLiteral(" added");
        }
        if (!in_.failures.isEmpty()) {
            SidebarEntry& entry = add(SidebarEntryKind::failures, QStringLiteral("failures"));
            entry.look.text = locale.toString(in_.failures.size()) + QStringLiteral(" files could not be read");
            entry.look.open = in_.failuresOpen;
            if (in_.failuresOpen) {
                for (const Index::FileFailure& failure : in_.failures) {
                    SidebarEntry& line = add(SidebarEntryKind::failure, QStringLiteral("failure:") + failure.relativePath);
                    line.look.text = failure.relativePath;
                    line.look.caption = failure.error;
                }
            }
        }
        if (in_.lastError)
            add(SidebarEntryKind::error, QStringLiteral("error")).look.text = *in_.lastError;
    }

    const SidebarInputs& in_;
    QHash<QString, int> ranks_;
    QHash<QString, int> keys_;
    QList<SidebarEntry> entries_;
};

} // namespace

QList<SidebarEntry> flattenSidebar(const SidebarInputs& inputs)
{
    return Flattener(inputs).run();
}

bool tapToggles(const SidebarLook& look)
{
    return look.chevron && (look.selected || !*look.chevron);
}

int sidebarRowIndent(int depth)
{
    return depth * 14 + 10;
}

int sidebarRowHeight(bool hasCaption)
{
    return hasCaption ? 38 : 30;
}

QString sidebarCountText(qint64 count)
{
    return count >= 1 ? QLocale().toString(count) : QString();
}

QList<FolderMenuEntry> folderMenu(const FolderMenuInputs& inputs)
{
    QList<FolderMenuEntry> entries{
        {inputs.pinned ? QStringLiteral("Unpin") : QStringLiteral("Pin to Sidebar"), FolderCommand::pin}};
    if (inputs.online && inputs.source && inputs.source->kind == SourceKind::folder)
        entries.append({QString::fromUtf16(showInFilesLabel), FolderCommand::reveal});
    if (inputs.canPaste)
        entries.append({QStringLiteral("Paste"), FolderCommand::paste});
    return entries;
}

QList<FolderMenuEntry> treeMenu(const FolderNode& node, const SidebarLook& look, const FolderMenuInputs& inputs)
{
    QList<FolderMenuEntry> entries = folderMenu(inputs);
    if (look.chevron)
        entries.append({*look.chevron ? QStringLiteral("Collapse") : QStringLiteral("Expand"),
                        FolderCommand::toggleExpanded});
    if (!isRoot(node) || !inputs.source)
        return entries;
    entries.append({QStringLiteral("Rescan"), FolderCommand::rescan, true});
    if (inputs.source->kind != SourceKind::folder)
        return entries;
    if (inputs.source->placeRank() != drivesRank)
        entries.append({QStringLiteral("Verify"), FolderCommand::verify});
    entries.append({QStringLiteral("Stop Indexing…"), FolderCommand::stopIndexing, true});
    return entries;
}
