#include "Pellmar/library/Library.h"

std::optional<FolderNode> Library::nodeForKey(const QString& key) const
{
    // Depth first without recursion: the last root and, within a node, the last child come first,
    // and of two nodes with the same key the one met first wins.
    QList<FolderNode> stack = trees_;
    while (!stack.isEmpty()) {
        FolderNode node = stack.takeLast();
        if (node.key() == key)
            return node;
        stack.append(node.children);
    }
    return std::nullopt;
}

std::optional<QString> Library::selectedNodeID() const
{
    if (selectedDevice_ || !sourceFilter_)
        return std::nullopt;
    return *sourceFilter_ + u'|' + (smartFilter_ ? u'#' + rawValue(*smartFilter_) : pathFilter_);
}

void Library::toggleExpanded(const FolderNode& node)
{
    editExpanded([&node](QSet<QString>& ids) {
        if (!ids.remove(node.id))
            ids.insert(node.id);
    });
}

QList<FolderNode> Library::workspaceTrees() const
{
    const std::optional<QStringList> members = workspaceMembers();   // sorted by code point
    if (!members)
        return trees_;
    QList<FolderNode> shown;
    for (const FolderNode& root : trees_) {
        const QString sourceKey = root.sourceID + u'|';
        if (members->contains(sourceKey)) {
            shown.append(root);
            continue;
        }
        for (const QString& key : *members) {
            if (!key.startsWith(sourceKey))
                continue;
            if (std::optional<FolderNode> node = nodeForKey(key))
                shown.append(std::move(*node));
        }
    }
    return shown;
}
