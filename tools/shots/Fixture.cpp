#include "tools/shots/Fixture.h"

#include "Pellmar/app/MainWindow.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace {

Source source(const QString& id, const QString& name, const QString& root)
{
    Source source;
    source.id = id;
    source.name = name;
    source.rootPath = root;
    return source;
}

} // namespace

QImage landscape(QSize size, QColor sky, QColor ground)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, sky.lighter(130));
    gradient.setColorAt(0.6, sky);
    gradient.setColorAt(0.61, ground);
    gradient.setColorAt(1, ground.darker(140));
    painter.fillRect(image.rect(), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 236, 170));
    painter.setPen(Qt::NoPen);
    const int sun = size.height() / 6;
    painter.drawEllipse(QPoint(size.width() * 2 / 3, size.height() / 3), sun, sun);
    painter.end();
    return image;
}

void drawPreview(const QString& path, QSize size, QColor sky, QColor ground)
{
    landscape(size, sky, ground).save(path, "JPG", 85);
}

Fixture::Fixture()
{
    Library::Services services;
    services.supportDirectory = home.filePath(QStringLiteral("Quorvin"));
    services.defaults = &defaults;
    services.clock = std::make_shared<RealClock>();
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = std::make_shared<VolumeService>();
    services.startUp = false;
    library = std::make_unique<Library>(std::move(services));
    // The tables the window's first search reads; a tool may wait here, before any window shows.
    library->index().run([](Index& index) { return index.migrate(); }).waitForFinished();
    application = std::make_unique<Application>(*library, updater);
}

Fixture::~Fixture()
{
    application.reset();
}

void Fixture::fillPlaces()
{
    library->setSources({source("HOME", "Pictures", QDir::homePath() + "/Pictures"),
                         source("DISK", "Backup Disk", "/media/me/Backup Disk")});
    library->setOnline({QStringLiteral("HOME")});

    Workspace everything;
    everything.id = QStringLiteral("everything");
    everything.name = QStringLiteral("Everything");
    everything.symbol = QStringLiteral("house");
    everything.tint = QStringLiteral("accent");
    Workspace family;
    family.id = QStringLiteral("FAMILY");
    family.name = QStringLiteral("Family & Friends");
    family.symbol = QStringLiteral("person.2");
    family.tint = QStringLiteral("green");
    family.members = {QStringLiteral("HOME|2026"), QStringLiteral("DISK|")};
    library->setWorkspaces({everything, family});
    library->setWorkspaceID(QStringLiteral("everything"));

    // The home folder's pictures by year and the backup disk's camera folders.
    const auto folder = [](const QString& sourceID, const QString& path, qint64 count, QList<FolderNode> children = {}) {
        return FolderNode{.id = sourceID + u'/' + path,
                          .sourceID = sourceID,
                          .path = path,
                          .name = path.section(u'/', -1),
                          .count = count,
                          .children = std::move(children)};
    };
    FolderNode home = folder("HOME", "", 8, {folder("HOME", "2025", 3), folder("HOME", "2026", 5,
                                             {folder("HOME", "2026/Winter", 4), folder("HOME", "2026/Lisbon & Porto", 1)})});
    home.name = QStringLiteral("Pictures");
    FolderNode disk = folder("DISK", "", 11'834, {folder("DISK", "DCIM", 11'834)});
    disk.name = QStringLiteral("Backup Disk");
    library->setTrees({home, disk});
    library->setExpanded({home.id, home.children[1].id});
}

void Fixture::fillItems()
{
    const struct {
        const char* name;
        MediaKind kind;
        QColor sky;
        QColor ground;
        int width;
        int height;
    } pictures[] = {
        {"IMG_0412.jpg", MediaKind::photo, QColor(90, 150, 220), QColor(60, 120, 70), 4032, 3024},
        {"IMG_0413.heic", MediaKind::photo, QColor(240, 150, 90), QColor(90, 70, 60), 4032, 3024},
        {"Beach walk.mov", MediaKind::video, QColor(120, 190, 230), QColor(220, 200, 150), 1920, 1080},
        {"DSC_2231.NEF", MediaKind::photo, QColor(60, 70, 120), QColor(30, 40, 50), 6000, 4000},
        {"Harbour.jpg", MediaKind::photo, QColor(150, 180, 210), QColor(40, 80, 120), 3000, 2000},
        {"Snow day.jpg", MediaKind::photo, QColor(200, 210, 225), QColor(240, 240, 245), 3024, 4032},
        {"Garden.png", MediaKind::photo, QColor(110, 170, 200), QColor(70, 140, 50), 2400, 1600},
        {"Dunes.jpg", MediaKind::photo, QColor(230, 180, 120), QColor(200, 150, 90), 5000, 3000},
    };
    QDir().mkpath(library->proxyDirectory());
    QList<Item> items;
    QHash<QString, qint64> copies;
    double captured = 1'796'947'200;   // December 10, 2026
    int number = 0;
    for (const auto& picture : pictures) {
        Item item;
        item.id = QStringLiteral("ITEM-%1").arg(++number);
        item.kind = picture.kind;
        item.filename = QString::fromUtf8(picture.name);
        item.capturedAt = captured;
        item.width = picture.width;
        item.height = picture.height;
        const bool video = picture.kind == MediaKind::video;
        (video ? item.posterExtension : item.previewExtension) = QStringLiteral("jpg");
        const QSize size = QSize(picture.width, picture.height).scaled(1280, 1280, Qt::KeepAspectRatio);
        drawPreview(library->proxyDirectory() + u'/' + item.id + (video ? ".poster.jpg" : ".preview.jpg"), size,
                    picture.sky, picture.ground);
        items.append(item);
        copies.insert(item.id, number % 3 == 0 ? 1 : 2);
        captured -= 86'400 * 3.5;
    }
    library->setCopies(copies);
    library->setItems(items);
    library->setItemCount(items.size());
    library->setAllCount(items.size());
}

void Fixture::fillManyItems(int count)
{
    const QColor skies[] = {QColor(90, 150, 220), QColor(240, 150, 90), QColor(120, 190, 230), QColor(60, 70, 120),
                            QColor(150, 180, 210), QColor(200, 210, 225)};
    const QColor grounds[] = {QColor(60, 120, 70), QColor(90, 70, 60), QColor(220, 200, 150), QColor(30, 40, 50),
                              QColor(40, 80, 120), QColor(240, 240, 245)};
    const double durations[] = {9, 75.4, 3725, 600};
    QDir().mkpath(library->proxyDirectory());
    QList<Item> items;
    QHash<QString, qint64> copies;
    QHash<QString, QList<Location>> locations;
    double captured = 1'796'947'200;   // December 10, 2026
    for (int number = 1; number <= count; ++number) {
        Item item;
        item.id = QStringLiteral("MANY-%1").arg(number);
        item.capturedAt = captured;
        captured -= 86'400 * 0.7;
        const int kind = number % 10;
        if (kind == 3) {
            item.kind = MediaKind::video;
            item.filename = QStringLiteral("Clip %1.mov").arg(number);
            item.duration = durations[(number / 10) % 4];
            item.posterExtension = QStringLiteral("jpg");
        } else if (kind == 7) {
            item.kind = MediaKind::document;
            item.filename = QStringLiteral("Invoice %1.pdf").arg(number);
            item.uti = QStringLiteral("application/pdf");
            Location file;
            file.sourceID = QStringLiteral("HOME");
            file.local = true;
            file.size = 48'000 + number * 1'000;
            locations.insert(item.id, {file});
        } else {
            item.kind = MediaKind::photo;
            item.filename = QStringLiteral("IMG_%1.jpg").arg(4000 + number);
            item.previewExtension = QStringLiteral("jpg");
        }
        if (kind != 7) {
            const QString preview = library->proxyDirectory() + u'/' + item.id
                + (item.kind == MediaKind::video ? QStringLiteral(".poster.jpg") : QStringLiteral(".preview.jpg"));
            drawPreview(preview, QSize(320, 240), skies[number % 6], grounds[(number / 6) % 6]);
        }
        if (number % 4 == 1)
            copies.insert(item.id, 2 + number % 3);
        // Kept only in the cloud.
        if (number % 9 == 5) {
            Location cloud;
            cloud.sourceID = QStringLiteral("HOME");
            cloud.local = false;
            locations.insert(item.id, {cloud});
        }
        items.append(item);
    }
    library->setCopies(copies);
    library->setItemLocations(locations);
    library->setItems(items);
    library->setItemCount(items.size());
    library->setAllCount(items.size());
}
