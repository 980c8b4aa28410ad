#include "Pellmar/views/kit/WorkspaceMembers.h"

QSet<QString> membersOutside(const QSet<QString>& members, const FolderNode& node)
{
    QString prefix = node.sourceID + u'|';
    if (!node.path.isEmpty() || node.smart)
        prefix += (node.smart ? u'#' + rawValue(*node.smart) : node.path) + u'/';
    QSet<QString> outside;
    for (const QString& key : members) {
        if (!key.startsWith(prefix))
            outside.insert(key);
    }
    return outside;
}
