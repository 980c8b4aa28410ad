#include "Pellmar/library/engine/SourceFolders.h"

#include <QFileInfo>
#include <QStringList>

namespace {

bool isAtOrBelow(const QString& path, const QString& root)
{
    if (root == u"/")
        return path.startsWith(u'/');
    return path == root || path.startsWith(root + u'/');
}

QString quoted(const QString& path)
{
    return QStringLiteral("“") + path + QStringLiteral("”");
}

} // namespace

SourceFolderCheck checkSourceFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString cannot = quoted(folder) + QStringLiteral(" cannot be indexed: ");
    if (!info.exists()) {
        // A byte that is not UTF-8 was read as U+FFFD, and the path with it names nothing on disk.
        if (folder.contains(QChar::ReplacementCharacter))
            return {QString(), cannot + QStringLiteral("its name is not valid UTF-8. Rename it, then add it again.")};
        return {QString(), cannot + QStringLiteral("there is no folder at that path.")};
    }
    if (!info.isDir())
        return {QString(), cannot + QStringLiteral("it is a file, not a folder.")};
    const QString real = info.canonicalFilePath();
    if (real.isEmpty())
        return {QString(), cannot + QStringLiteral("there is no folder at that path.")};
    if (real.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(real))
        return {QString(), cannot + QStringLiteral("its name is not valid UTF-8. Rename it, then add it again.")};
    return {real, QString()};
}

SourceOverlap sourceOverlap(const QString& path, const QList<Source>& sources)
{
    SourceOverlap overlap;
    for (const Source& source : sources) {
        if (source.kind != SourceKind::folder)
            continue;
        if (isAtOrBelow(path, source.rootPath)) {
            if (!overlap.inside || source.rootPath.size() > overlap.inside->rootPath.size())
                overlap.inside = source;
        } else if (isAtOrBelow(source.rootPath, path)) {
            overlap.held.append(source);
        }
    }
    return overlap;
}

QString holdsSourcesProblem(const QString& path, const QList<Source>& held)
{
    QStringList names;
    for (const Source& source : held)
        names.append(quoted(source.name));
    return quoted(path) + QStringLiteral(" cannot be indexed: it holds folders that are already indexed (")
         + names.join(QStringLiteral(", ")) + QStringLiteral("). Stop indexing them first, then add it again.");
}
