#include "tools/shots/CardShots.h"

#include "tools/shots/Fixture.h"
#include "tests/media/MediaFixtures.h"

#include "Pellmar/library/Library.h"

#include <QDir>
#include <QFileInfo>

namespace {

Device cardAt(const QString& url)
{
    Device device;
    device.url = url;
    device.name = QStringLiteral("EOS_DIGITAL");
    device.capacity = 64'000'000'000;
    device.available = 21'000'000'000;
    return device;
}

// What the card holds: photos (every fourth a raw file of which no preview can be made), clips
// and a sound note.
QList<CardFile> cardFiles(const Device& device)
{
    QList<CardFile> files;
    for (int i = 0; i < 24; ++i)
        files.append({device.url + QStringLiteral("/DCIM/100CANON/IMG_%1.%2").arg(4001 + i).arg(i % 4 == 3 ? "CR3" : "JPG"),
                      6'200'000 + i * 40'000, 1'765'000'000.0 + i * 60, MediaKind::photo});
    files.append({device.url + QStringLiteral("/DCIM/100CANON/MVI_4030.MOV"), 184'000'000, 1'765'002'000, MediaKind::video});
    files.append({device.url + QStringLiteral("/DCIM/100CANON/MVI_4031.MOV"), 96'000'000, 1'765'002'100, MediaKind::video});
    files.append({device.url + QStringLiteral("/PRIVATE/NOTE_0001.WAV"), 2'400'000, 1'765'002'200, MediaKind::audio});
    return files;
}

// The card as a folder beside the fixture's support folder, its photos real pictures (the raw
// files unreadable), so that the grid makes previews of them; listed and selected.
Device listedCard(Library& library)
{
    const Device device =
        cardAt(QDir::cleanPath(QFileInfo(library.proxyDirectory()).dir().absoluteFilePath(QStringLiteral("../EOS_DIGITAL"))));
    const QList<CardFile> files = cardFiles(device);
    const QColor skies[] = {QColor(90, 150, 220), QColor(240, 170, 110), QColor(150, 180, 210), QColor(120, 110, 190)};
    const QColor grounds[] = {QColor(60, 120, 70), QColor(200, 150, 90), QColor(40, 80, 120), QColor(110, 130, 60)};
    for (int i = 0; i < files.size(); ++i) {
        QDir().mkpath(QFileInfo(files[i].url).path());
        if (files[i].url.endsWith(QStringLiteral(".JPG"))) {
            const QImage photo = landscape(QSize(800, 600), skies[i % 4], grounds[(i / 4) % 4]);
            ExifFields exif;
            exif.thumbnailJpeg = encodedJpeg(photo.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            writeBytes(files[i].url, jpegWithExif(photo, exif));
        } else {
            writeBytes(files[i].url, QByteArray(4096, 'x'));
        }
    }
    library.setDevices({device});
    library.setDeviceFiles({{device.id(), files}});
    library.setSelectedDevice(device.id());
    return device;
}

} // namespace

Device card()
{
    return cardAt(QStringLiteral("/media/me/EOS_DIGITAL"));
}

std::map<QString, std::function<void(Library&)>> cardStates()
{
    return {
        {"card", [](Library& l) {
             l.setDevices({card()});
             l.setSelectedDevice(card().id());
         }},
        {"card-listed", [](Library& l) { listedCard(l); }},
        {"card-file", [](Library& l) {
             const CardFile focused = cardFiles(listedCard(l)).value(22);
             l.setSelectedCardFile(focused);
             l.setSelectedCards({focused.url});
         }},
        {"card-files", [](Library& l) {
             const QList<CardFile> files = cardFiles(listedCard(l));
             l.setSelectedCardFile(files[25]);
             l.setSelectedCards({files[25].url, files[23].url, files[22].url});
         }},
        {"card-empty", [](Library& l) {
             l.setDevices({card()});
             l.setDeviceFiles({{card().id(), {}}});
             l.setSelectedDevice(card().id());
         }},
        {"import-sheet", [](Library& l) {
             // Folders to browse beside the support folder, the default destination among them.
             const QString pictures = QFileInfo(l.proxyDirectory()).dir().absoluteFilePath(QStringLiteral("../Pictures"));
             for (const char* folder : {"2025", "2026/Winter", "2026/Spring", "Scans", "Trips/Lisbon"})
                 QDir().mkpath(pictures + u'/' + QLatin1String(folder));
             QList<Source> sources = l.sources();
             sources[0].rootPath = QDir::cleanPath(pictures);
             l.setSources(sources);
             l.setImportDefault(ImportTarget::folder(QDir::cleanPath(pictures + QStringLiteral("/2026/Winter"))));
             l.setDeviceFiles({{card().id(), cardFiles(card())}});
             l.setImportDevice(card());
         }},
    };
}
