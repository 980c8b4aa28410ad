#include "Pellmar/views/frame/DialogTexts.h"

#include <QCoreApplication>

namespace DialogTexts {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DialogTexts", text);
}

QString quoted(const QString& name)
{
    return u'"' + name + u'"';
}

QString lastComponent(const QString& relativePath)
{
    return relativePath.section(u'/', -1);
}

} // namespace

QString folderPhrase(const QString& relativePath)
{
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    if (slash <= 0)
        return tr("its top folder");
    return relativePath.left(slash);
}

QString deleteWorkspaceTitle(const std::optional<Workspace>& workspace)
{
    return tr("Delete %1?").arg(quoted(workspace ? workspace->name : QString()));
}

QString deleteWorkspaceMessage()
{
    return tr("Its pins and favorites go away. Your files, sources and index stay as they are.");
}

QString trashGroupTitle(qsizetype count)
{
    if (count == 1)
        return tr("Move 1 item to the Trash?");
    return tr("Move %1 items to the Trash?").arg(count);
}

QString trashGroupMessage(qsizetype selectedCount, qsizetype groupCount)
{
    QString message = QStringLiteral("One copy of each goes to the Trash, the first one found on a connected drive or folder.");
    if (const qsizetype skipped = selectedCount - groupCount; skipped >= 1)
        message += QStringLiteral(" %1 selected items have no copy that can be moved and stay as they are.").arg(skipped);
    return message;
}

QString stopIndexingTitle(const std::optional<Source>& source)
{
    return tr("Stop indexing %1?").arg(quoted(source ? source->name : QString()));
}

QString stopIndexingMessage()
{
    return tr("Quorvin forgets its files, previews and pins. Nothing on the drive or folder is touched, and you can "
              "index it again later.");
}

QString renameTitle()
{
    return tr("Rename");
}

QString renameMessage(const Location& location)
{
    return tr("Renames the copy on %1 in %2.").arg(location.sourceName, folderPhrase(location.relativePath));
}

QString trashCopyTitle(const std::optional<ItemCopy>& copy)
{
    return tr("Move %1 to the Trash?").arg(quoted(copy ? lastComponent(copy->location.relativePath) : QString()));
}

QString trashCopyMessage(const ItemCopy& copy, const QHash<QString, qint64>& copies)
{
    QString message = QStringLiteral("The copy on %1 in %2 goes to the Trash.")
                          .arg(copy.location.sourceName, folderPhrase(copy.location.relativePath));
    const qint64 count = copies.value(copy.item.id, 1);
    const qint64 others = count - 1;
    if (others < 1)
        return message;
    if (count == 2)
        return message + QStringLiteral(" The other copy stays.");
    return message + QStringLiteral(" The other %1 copies stay.").arg(others);
}

} // namespace DialogTexts
