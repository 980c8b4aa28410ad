#include "Pellmar/views/kit/WorkspaceMembers.h"

namespace {

bool isSourceRoot(const FolderNode& node)
{
    return node.path.isEmpty() && !node.smart;
}

// What every key inside the node begins with.
QString insidePrefix(const FolderNode& node)
{
    return isSourceRoot(node) ? node.sourceID + u'|' : node.key() + u'/';
}

} // namespace

QSet<QString> membersOutside(const QSet<QString>& members, const FolderNode& node)
{
    const QString prefix = insidePrefix(node);
    QSet<QString> outside;
    for (const QString& key : members) {
        if (!key.startsWith(prefix))
            outside.insert(key);
    }
    return outside;
}

QStringList ancestorKeys(const FolderNode& node)
{
    if (node.path.isEmpty())
        return {};
    QStringList keys{node.sourceID + u'|'};
    QString path = node.path;
    for (qsizetype slash = path.lastIndexOf(u'/'); slash > 0; slash = path.lastIndexOf(u'/')) {
        path.truncate(slash);
        keys.append(node.sourceID + u'|' + path);
    }
    return keys;
}

QList<FolderNode> memberChildren(const FolderNode& node)
{
    QList<FolderNode> children;
    for (const FolderNode& child : node.children) {
        if (!child.smart)
            children.append(child);
        else if (*child.smart == SmartFilter::albums)
            children.append(child.children);
    }
    return children;
}

MemberState memberState(const FolderNode& node, const QSet<QString>& members)
{
    if (members.contains(node.key()))
        return MemberState::on;
    for (const QString& ancestor : ancestorKeys(node)) {
        if (members.contains(ancestor))
            return MemberState::on;
    }
    const QString prefix = insidePrefix(node);
    for (const QString& key : members) {
        if (key.startsWith(prefix))
            return MemberState::mixed;
    }
    return MemberState::off;
}

QSet<QString> toggleMember(const FolderNode& node, const QSet<QString>& members, const NodeLookup& nodeForKey)
{
    const QString key = node.key();
    QSet<QString> result = members;
    if (result.remove(key))
        return result;

    const QStringList ancestors = ancestorKeys(node);
    const auto covering = std::find_if(ancestors.begin(), ancestors.end(),
                                       [&](const QString& ancestor) { return members.contains(ancestor); });
    if (covering == ancestors.end()) {
        result = membersOutside(members, node);
        result.insert(key);
        return result;
    }

    // Taken out of a member folder: everything else the folder held stays a member. An ancestor
    // that no longer resolves is only dropped, which leaves the node uncovered too.
    result.remove(*covering);
    std::optional<FolderNode> level = nodeForKey(*covering);
    while (level) {
        std::optional<FolderNode> onTheWay;
        for (const FolderNode& child : memberChildren(*level)) {
            const QString childKey = child.key();
            if (!onTheWay && (childKey == key || key.startsWith(childKey + u'/')))
                onTheWay = child;
            else
                result.insert(childKey);
        }
        if (!onTheWay || onTheWay->key() == key)
            break;
        level = onTheWay;
    }
    return result;
}
