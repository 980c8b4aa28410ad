#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/platform/Desktop.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QFileInfo>

namespace {

// What the probe needs of the index for one item: sources (a folder source is taken as online when
// its root folder exists), the favorites of the built-in workspace and of the photo library.
QCoro::Task<std::optional<Item>> loadItem(Library& library, QString id)
{
    library.setSources(co_await library.readIndex().run([](Index& index) { return index.sources(); }));
    QSet<QString> online;
    for (const Source& source : library.sources()) {
        if (source.kind == SourceKind::photos || QFileInfo(source.rootPath).isDir())
            online.insert(source.id);
    }
    library.setOnline(online);
    library.setFavorites(co_await library.readIndex().run(
        [](Index& index) { return index.favoriteIDs(Index::everythingWorkspaceID); }));
    library.setPhotoFavorites(co_await library.readIndex().run([](Index& index) { return index.photoFavoriteIDs(); }));
    co_return co_await library.readIndex().run([id](Index& index) { return index.itemByID(id); });
}

QString orNone(const std::optional<QString>& path)
{
    return path.value_or(QStringLiteral("-"));
}

QString copyText(const Location& copy)
{
    return copy.sourceName + u'|' + copy.relativePath + (copy.local ? QString() : QStringLiteral(" (not local)")) +
        (copy.assetID.isEmpty() ? QString() : QStringLiteral(" asset ") + copy.assetID);
}

const ProbeCommand itemCommand(
    QStringLiteral("item"), QStringLiteral("SUPPORT_DIR ID"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 2)
            return probeUsage(itemCommand, io);
        const std::unique_ptr<ProbeLibrary> probe = ProbeLibrary::open(args[0], io);
        if (!probe)
            return 1;
        Library& library = *probe->library;
        std::optional<Item> item;
        try {
            item = QCoro::waitFor(loadItem(library, args[1]));
        } catch (const DatabaseError& error) {
            io.err << "cannot read the index: " << error.description() << Qt::endl;
            return 1;
        }
        if (!item) {
            io.err << "no item " << args[1] << Qt::endl;
            return 1;
        }
        const QList<Location> copies = library.locationsOf(*item);
        io.out << item->id << '\t' << item->filename << '\t' << kindWord(item->kind) << '\n';
        for (const Location& copy : copies)
            io.out << "copy: " << copyText(copy) << '\n';
        const std::optional<Location> reachable = library.reachableURL(copies);
        io.out << "reachable: " << (reachable ? copyText(*reachable) + u' ' + orNone(library.url(*reachable)) : "-")
               << '\n'
               << "preview: " << orNone(library.previewURL(*item)) << '\n'
               << "image: " << orNone(library.imageURL(*item)) << '\n'
               << "proxy: " << orNone(library.proxyURL(*item)) << '\n'
               << "best file: " << orNone(library.bestFileURL(*item)) << '\n'
               << "viewable: " << (library.canView(*item) ? "yes" : "no") << '\n';
        if (const std::optional<Library::CloudCopy> cloud = library.isCloudFile(copies))
            io.out << "cloud: " << cloud->url << (cloud->downloaded ? " downloaded" : " not downloaded") << '\n';
        io.out << "favorite: " << (library.isFavorite(*item) ? "yes" : "no") << Qt::endl;
        return 0;
    });

const ProbeCommand appsCommand(QStringLiteral("apps"), QStringLiteral("EXT"), [](const QStringList& args, ProbeIo& io) {
    if (args.size() != 1)
        return probeUsage(appsCommand, io);
    const std::optional<QString> type = mimeTypeForExtension(args[0]);
    if (!type) {
        io.out << "no type for ." << args[0] << Qt::endl;
        return 0;
    }
    const DesktopApps apps = systemDesktop()->applications(*type);
    io.out << "type: " << *type << '\n' << "default: " << apps.preferred.value_or(QStringLiteral("-")) << '\n';
    for (const QString& other : apps.others())
        io.out << "other: " << other << '\n';
    io.out.flush();
    return 0;
});

} // namespace
