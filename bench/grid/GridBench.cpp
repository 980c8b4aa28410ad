// The item grid at 5,000 items, offscreen: scrolls from top to bottom and back a row at a time
// while a changed search result arrives every 2 s, then stops at scattered places. Prints, as
// "figure|value" lines, how late a 1 ms timer on the GUI thread ran (its longest and
// 99th-percentile delay), how long the tiles on screen took to show their pictures after each
// stop, and peak memory; or, with "costs", what one tile's decode costs for each kind of picture.
// Usage: grid_bench FIXTURE_DIR costs
//        grid_bench FIXTURE_DIR SCREEN [SCREENSHOT.png]
//   SCREEN: heic          photos whose picture is their 2048 px HEIC proxy, with its tile image
//           heic-untiled  the same proxies as written before proxies had a tile image
//           mixed         2048 px JPEG previews, HEIC proxies with their tile image, video posters
// The pictures are made in FIXTURE_DIR on the first run and reused.

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/media/TileImages.h"
#include "Pellmar/views/grid/GridActions.h"
#include "Pellmar/views/grid/GridCellDelegate.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/TilePictures.h"
#include "bench/BenchLibrary.h"
#include "bench/grid/HeifThumbnails.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

constexpr int itemCount = 5000;
constexpr int distinctPictures = 12;   // the items' files are hard links to these
constexpr int pictureSize = 2048;
constexpr int posterSize = 1280;

// What the grid needs of the Library in this run: the item files, by the Library's own rules.
class BenchActions final : public GridActions {
public:
    explicit BenchActions(const Library& library) : library_(library) {}
    void select(const std::optional<Item>&) override {}
    void extendSelection(const Item&) override {}
    void click(const Item&, int, std::optional<double>, bool, bool) override {}
    void open(const Item&) override {}
    void quickLook(const QList<Item>&) override {}
    QList<Item> selectedItems() const override { return {}; }
    void selectAll() override {}
    void trashSelection() override {}
    void copySelection() override {}
    bool acceptsPaste(const QString&, const QString&) const override { return false; }
    void paste(const QString&, const QString&) override {}
    std::optional<QString> previewPath(const Item& item) const override { return library_.previewURL(item); }
    std::optional<QString> tileImagePath(const Item& item) const override { return library_.tileImageURL(item); }
    void setPointerInGrid(bool) override {}

private:
    const Library& library_;
};

// A photo-like picture: gradients and shapes with some grain, so the JPEG is as hard to decode as a photo's.
QImage syntheticPhoto(int seed)
{
    QRandomGenerator random(seed);
    QImage image(pictureSize, pictureSize * 3 / 4, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(random.bounded(360), 200, 90));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv(random.bounded(360), random.bounded(255), random.bounded(255), 160));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(random.bounded(image.width()), random.bounded(image.height())), random.bounded(40, 400),
                            random.bounded(40, 300));
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = random.bounded(-12, 13);
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + grain, 0, 255), std::clamp(qGreen(p) + grain, 0, 255),
                           std::clamp(qBlue(p) + grain, 0, 255));
        }
    }
    return image;
}

// The distinct pictures, made once: each as a 2048 px JPEG preview, as the HEIC proxy (with its
// tile image) that the program writes from it, as a 1280 px video poster, and as a HEIC with a
// thumbnail inside (the other candidate for a tile's picture).
void makePictures(const QString& folder)
{
    QDir().mkpath(folder);
    for (int i = 0; i < distinctPictures; ++i) {
        const QString stem = QStringLiteral("%1/%2").arg(folder).arg(i);
        if (QFile::exists(stem + QStringLiteral(".thumbnailed.heic")))
            continue;
        const QImage photo = syntheticPhoto(i);
        writeImageFile(photo, stem + QStringLiteral(".jpg"), ImageFileType::jpeg, 0.8);
        makePhotoPreview(stem + QStringLiteral(".jpg"), stem + QStringLiteral(".heic"), pictureSize);
        writeImageFile(photo.scaled(posterSize, posterSize, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                       stem + QStringLiteral(".poster.jpg"), ImageFileType::jpeg, 0.85);
        writeHeicWithThumbnail(photo, int(std::ceil(double(tileImageSide) * photo.width() / photo.height())),
                               stem + QStringLiteral(".thumbnailed.heic"));
    }
}

enum class Screen { heic, heicUntiled, mixed };

std::optional<Screen> screenNamed(const QByteArray& name)
{
    if (name == "heic")
        return Screen::heic;
    if (name == "heic-untiled")
        return Screen::heicUntiled;
    if (name == "mixed")
        return Screen::mixed;
    return std::nullopt;
}

// Item `number` of the screen and its files in `proxies`, hard links to the pictures in `pictures`.
Item makeItem(Screen screen, int number, const QString& pictures, const QString& proxies)
{
    Item item;
    item.id = QStringLiteral("ITEM-%1").arg(number, 5, 10, QLatin1Char('0'));
    item.filename = QStringLiteral("IMG_%1.JPG").arg(1000 + number);
    item.capturedAt = 1'700'000'000 - number * 3600.0;
    item.duration = 61;
    const int picture = number % distinctPictures;
    const auto link = [&](const QString& from, const QString& to) {
        std::filesystem::create_hard_link(QStringLiteral("%1/%2%3").arg(pictures).arg(picture).arg(from).toStdString(),
                                          QStringLiteral("%1/%2%3").arg(proxies, item.id, to).toStdString());
    };
    const int kind = screen == Screen::mixed ? number % 3 : 1;
    if (kind == 0) {
        item.kind = MediaKind::photo;
        item.previewExtension = QStringLiteral("jpg");
        link(QStringLiteral(".jpg"), QStringLiteral(".preview.jpg"));
    } else if (kind == 1) {
        item.kind = MediaKind::photo;
        item.proxyExtension = QStringLiteral("heic");
        link(QStringLiteral(".heic"), QStringLiteral(".heic"));
        if (screen != Screen::heicUntiled)
            link(QStringLiteral(".tile.jpg"), QStringLiteral(".tile.jpg"));
    } else {
        item.kind = MediaKind::video;
        item.posterExtension = QStringLiteral("jpg");
        link(QStringLiteral(".poster.jpg"), QStringLiteral(".poster.jpg"));
    }
    return item;
}

// CPU time of the calling thread, or of the whole process (every thread), in milliseconds.
double cpuMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}
double threadCpuMs()
{
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

qint64 memoryKilobytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// The tiles on screen that do not show their picture yet.
int tilesWaiting(const GridView& view)
{
    int waiting = 0;
    const QRect screen = view.viewport()->rect();
    for (int row = 0; row < view.rows().rowCount(); ++row) {
        const grid::Cell& cell = view.rows().cell(row);
        if (cell.picturePath && view.visualRect(view.rows().index(row)).intersects(screen)
            && !view.pictures().hasPicture(cell.id, *cell.picturePath))
            ++waiting;
    }
    return waiting;
}

// The tile's size in the grid as the benchmark shows it.
QSize tileSize(const GridView& view)
{
    return GridCellDelegate::tileRect(
               grid::geometry(view.viewport()->width(), GridCellDelegate::textHeight(view.font())).cellRect(0))
        .size();
}

// CPU time of all the threads one decode uses (libvips' and the HEVC decoder's included), the
// median of 5.
double decodeCost(const std::function<void()>& decode)
{
    std::vector<double> costs;
    for (int i = 0; i < 5; ++i) {
        const double start = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        decode();
        costs.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - start);
    }
    return percentile(costs, 0.5);
}

// What one tile's decode costs for each kind of picture, at the grid's tile size.
void printCosts(const QString& pictures, QSize tile)
{
    const QString first = pictures + QStringLiteral("/1");
    const auto covering = [&](const QString& suffix) { return decodeCost([&] { decodePhotoCovering(first + suffix, tile); }); };
    std::printf("2048 px JPEG preview|%.1f ms\n", covering(QStringLiteral(".jpg")));
    std::printf("2048 px HEIC proxy, the whole picture|%.1f ms\n", covering(QStringLiteral(".heic")));
    std::printf("1280 px video poster|%.1f ms\n", covering(QStringLiteral(".poster.jpg")));
    std::printf("352 px tile image beside the proxy (JPEG)|%.1f ms\n", covering(QStringLiteral(".tile.jpg")));
    std::printf("352 px thumbnail inside the 2048 px HEIC|%.1f ms\n",
                decodeCost([&] { decodeThumbnailCovering(first + QStringLiteral(".thumbnailed.heic"), tile); }));

    // What the tile image adds to writing a proxy: the whole write (decode, HEIC, tile image)
    // against the tile image's part alone, both from the 2048 px picture.
    const QString output = pictures + QStringLiteral("/written.heic");
    const double proxy = decodeCost([&] { makePhotoPreview(first + QStringLiteral(".jpg"), output, pictureSize); });
    const QImage preview = decodePhoto(output, pictureSize);
    const double tileImage = decodeCost([&] { writeTileImage(preview, output); });
    std::printf("Writing a 2048 px proxy with its tile image, in all|%.0f ms\n", proxy);
    std::printf("Writing a 2048 px proxy with its tile image, the tile image's part|%.1f ms (%.1f %%)\n", tileImage,
                100 * tileImage / (proxy - tileImage));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::optional<Screen> screen = argc >= 3 ? screenNamed(argv[2]) : std::nullopt;
    if (argc < 3 || (!screen && qstrcmp(argv[2], "costs") != 0)) {
        std::fprintf(stderr, "usage: grid_bench FIXTURE_DIR costs | grid_bench FIXTURE_DIR heic|heic-untiled|mixed [SCREENSHOT.png]\n");
        return 2;
    }
    const QString fixture = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString pictures = fixture + QStringLiteral("/pictures");
    makePictures(pictures);

    // The support folder lives beside the pictures, so that the item files can be hard links.
    QTemporaryDir support(fixture + QStringLiteral("/support-XXXXXX"));
    Defaults defaults(support.filePath(QStringLiteral("Quorvin.conf")));
    Library library(benchServices(support.path(), defaults, std::make_shared<ManualClock>()));
    TaskPools pools;
    BenchActions actions(library);
    const qint64 baseline = memoryKilobytes("VmRSS:");

    GridView view(library, actions, pools);
    view.resize(760, 720);   // four columns, as beside the sidebar and the inspector
    view.show();
    if (!screen) {
        printCosts(pictures, tileSize(view));
        return 0;
    }

    const QString proxies = library.proxyDirectory();
    QList<Item> items;
    for (int i = 0; i < itemCount; ++i)
        items.append(makeItem(*screen, i, pictures, proxies));
    library.setItems(items);

    // The GUI thread's stalls: how late a 1 ms timer fires, and how much of that delay the GUI
    // thread spent computing (the rest is waiting for a core on a busy machine).
    std::vector<double> lateness;
    std::vector<double> busy;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double lastCpu = threadCpuMs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        lateness.push_back(std::max(0.0, (now - last) / 1e6 - 1.0));
        busy.push_back(cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    });

    // Every 2 s a changed result: a few items leave, a few new ones come, two swap places.
    QRandomGenerator random(7);
    int nextId = itemCount;
    QTimer searches;
    QObject::connect(&searches, &QTimer::timeout, [&] {
        for (int i = 0; i < 5; ++i)
            items[random.bounded(items.size())] = makeItem(*screen, nextId++, pictures, proxies);
        items.swapItemsAt(random.bounded(items.size()), random.bounded(items.size()));
        library.setItems(items);
    });

    QScrollBar* bar = view.verticalScrollBar();
    // Runs the event loop, blocked while no event is due, until `done` answers true (asked every
    // 2 ms) or `timeoutMs` have passed; returns the milliseconds waited. A loop that polled for
    // events would take the two cores from the decoding it waits for.
    const auto waitUntil = [&](const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        QEventLoop loop;
        QTimer ask;
        QObject::connect(&ask, &QTimer::timeout, &loop, [&] {
            if (done() || waited.elapsed() >= timeoutMs)
                loop.quit();
        });
        ask.start(2);
        if (!done())
            loop.exec();
        return waited.nsecsElapsed() / 1e6;
    };
    waitUntil([&] { return view.rows().rowCount() == itemCount && tilesWaiting(view) == 0; }, 30000);

    // A sweep down and up, a row per frame (16 ms), then stops at scattered places.
    ticker.start(1);
    searches.start(2000);
    lateness.clear();
    busy.clear();
    last = clock.nsecsElapsed();
    lastCpu = threadCpuMs();
    const int row = view.visualRect(view.rows().index(view.columnCount())).top() - view.visualRect(view.rows().index(0)).top();
    for (int direction : {1, -1}) {
        while (direction > 0 ? bar->value() < bar->maximum() : bar->value() > 0) {
            bar->setValue(bar->value() + direction * row);
            waitUntil([] { return false; }, 16);
        }
    }
    std::vector<double> fills;
    std::vector<int> stops;
    for (int stop = 0; stop < 12; ++stop) {
        stops.push_back(random.bounded(bar->maximum() + 1));
        bar->setValue(stops.back());
        fills.push_back(waitUntil([&] { return tilesWaiting(view) == 0; }, 30000));
        waitUntil([] { return false; }, 300);
    }
    // Back to the last three stops, latest first: their pictures were decoded already.
    std::vector<double> returns;
    for (int back = 2; back <= 4; ++back) {
        bar->setValue(stops[stops.size() - size_t(back)]);
        returns.push_back(waitUntil([&] { return tilesWaiting(view) == 0; }, 30000));
        waitUntil([] { return false; }, 300);
    }
    ticker.stop();
    searches.stop();

    const qint64 peak = memoryKilobytes("VmHWM:");

    std::printf("GUI-thread stall, longest|%.1f ms\n", percentile(lateness, 1.0));
    std::printf("GUI-thread stall, 99th percentile|%.2f ms\n", percentile(lateness, 0.99));
    std::printf("GUI-thread computing between two ticks, longest|%.1f ms\n", percentile(busy, 1.0));
    std::printf("GUI-thread computing between two ticks, 99th percentile|%.2f ms\n", percentile(busy, 0.99));
    std::printf("Timer ticks measured|%zu\n", lateness.size());
    std::printf("Visible tiles filled after a scroll stop, median of %zu|%.0f ms\n", fills.size(), percentile(fills, 0.5));
    std::printf("Visible tiles filled after a scroll stop, longest|%.0f ms\n", percentile(fills, 1.0));
    std::printf("Filled on scrolling back to one of the last stops, longest of %zu|%.0f ms\n", returns.size(),
                percentile(returns, 1.0));
    std::printf("Peak memory of the process|%lld MB\n", peak / 1024);
    std::printf("Memory before the grid opened|%lld MB\n", baseline / 1024);

    if (argc >= 4) {
        bar->setValue(0);
        waitUntil([&] { return tilesWaiting(view) == 0; }, 30000);
        view.grab().save(QString::fromLocal8Bit(argv[3]));
    }
    return 0;
}
