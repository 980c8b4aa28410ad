#include "tools/shots/DetailsShots.h"

#include "Pellmar/library/Library.h"

namespace {

Location copy(qint64 id, const QString& source, const QString& name, const QString& path, qint64 size)
{
    Location location;
    location.id = id;
    location.sourceID = source;
    location.sourceName = name;
    location.relativePath = path;
    location.size = size;
    location.modified = 1'796'900'000;
    location.local = true;
    return location;
}

// Shows the item in the details pane with these copies, as the selection detail would load them.
void inspect(Library& library, const Item& item, const QList<Location>& copies)
{
    library.setSelectedIDs({item.id});
    library.setSelection(item);
    library.setLocations(copies);
}

} // namespace

std::map<QString, std::function<void(Library&)>> detailsStates()
{
    return {
        {"details-copies", [](Library& l) {
             // One copy in the home folder (no such file here) and one on the unplugged backup disk.
             inspect(l, l.items()[0],
                     {copy(1, "HOME", "Pictures", "2026/Winter/IMG_0412.jpg", 4'213'000),
                      copy(2, "DISK", "Backup Disk", "Photos/2026/IMG_0412.jpg", 4'213'000)});
         }},
        {"details-video", [](Library& l) {
             Item video = l.items()[2];
             video.proxyExtension = QStringLiteral("mp4");
             video.duration = 83;
             inspect(l, video, {copy(3, "HOME", "Pictures", "Beach walk.mov", 182'000'000)});
         }},
        {"fullscreen-video", [](Library& l) {
             // The player over the clip's poster, before it plays.
             Item video = l.items()[2];
             video.proxyExtension = QStringLiteral("mp4");
             QList<Item> items = l.items();
             items[2] = video;
             l.setItems(items);
             l.select(video);
             l.setFullscreen(true);
         }},
        {"details-document", [](Library& l) {
             Item document;
             document.id = QStringLiteral("DOC");
             document.kind = MediaKind::document;
             document.filename = QStringLiteral("Lease agreement.pdf");
             document.uti = QStringLiteral("application/pdf");
             l.setItems(QList<Item>(l.items()) << document);
             inspect(l, document, {copy(4, "DISK", "Backup Disk", "Papers/Lease agreement.pdf", 312'000)});
         }},
        {"details-all-items", [](Library& l) {
             LocationSummary summary;
             summary.photos = 7;
             summary.videos = 1;
             summary.size = 41'500'000;
             summary.earliest = 1'794'500'000;
             summary.latest = 1'796'947'200;
             l.setSummary(summary);
             l.setHeroItems(l.items().mid(0, 6));
         }},
        {"details-folder", [](Library& l) {
             LocationSummary summary;
             summary.photos = 3;
             summary.documents = 2;
             summary.documentSize = 1'200'000;
             summary.size = 13'700'000;
             summary.onlyHere = 2;
             summary.earliest = 1'796'000'000;
             summary.latest = 1'796'947'200;
             l.setSourceFilter(QStringLiteral("HOME"));
             l.setPathFilter(QStringLiteral("2026/Winter"));
             l.setSummary(summary);
             l.setHeroItems(l.items().mid(3, 3));
         }},
        {"details-group", [](Library& l) {
             const QList<Item> items = l.items();
             l.setSelectedIDs({items[0].id, items[1].id, items[2].id, items[4].id});
             QHash<QString, QList<Location>> copies;
             copies.insert(items[0].id, {copy(1, "HOME", "Pictures", "a.jpg", 4'000'000)});
             copies.insert(items[1].id, {copy(2, "HOME", "Pictures", "b.heic", 3'000'000),
                                         copy(3, "DISK", "Backup Disk", "b.heic", 3'100'000)});
             copies.insert(items[2].id, {copy(4, "DISK", "Backup Disk", "c.mov", 180'000'000)});
             copies.insert(items[4].id, {copy(5, "HOME", "Pictures", "d.jpg", 2'500'000)});
             l.setItemLocations(copies);
         }},
    };
}
