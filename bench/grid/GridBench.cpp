// The item grid at 500 items, offscreen: scrolls from top to bottom and back a row at a time while
// a changed search result arrives every 2 s, then stops at scattered places. Prints, as Markdown
// table rows, how late a 1 ms timer on the GUI thread ran (its longest and 99th-percentile delay),
// how long the tiles on screen took to show their pictures after each stop, and peak memory.
// Usage: grid_bench FIXTURE_DIR   (made on the first run: 2048 px JPEG and HEIC previews)

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/media/Thumbnails.h"
#include "Pellmar/views/grid/GridActions.h"
#include "Pellmar/views/grid/GridCellDelegate.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/TilePictures.h"
#include "bench/BenchLibrary.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

constexpr int itemCount = 500;
constexpr int distinctPictures = 40;   // the previews are hard links to these
constexpr int pictureSize = 2048;

// What the grid needs of the Library in this run: the preview files.
class BenchActions final : public GridActions {
public:
    explicit BenchActions(QString folder) : folder_(std::move(folder)) {}
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
    std::optional<QString> previewPath(const Item& item) const override
    {
        return QStringLiteral("%1/%2.preview.%3").arg(folder_, item.id, item.previewExtension);
    }
    void setPointerInGrid(bool) override {}

private:
    QString folder_;
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

// The items and their preview files: half JPEG, half HEIC.
QList<Item> makeFixture(const QString& folder)
{
    QDir().mkpath(folder + QStringLiteral("/sources"));
    QDir().mkpath(folder + QStringLiteral("/Proxies"));
    for (int i = 0; i < distinctPictures; ++i) {
        const bool heic = i % 2;
        const QString source = QStringLiteral("%1/sources/%2.%3").arg(folder).arg(i).arg(heic ? "heic" : "jpg");
        if (!QFile::exists(source))
            writeImageFile(syntheticPhoto(i), source, heic ? ImageFileType::heic : ImageFileType::jpeg, 0.8);
    }
    QList<Item> items;
    for (int i = 0; i < itemCount; ++i) {
        Item item;
        item.id = QStringLiteral("ITEM-%1").arg(i, 4, 10, QLatin1Char('0'));
        item.kind = i % 9 == 4 ? MediaKind::video : MediaKind::photo;
        item.filename = QStringLiteral("IMG_%1.JPG").arg(1000 + i);
        item.capturedAt = 1'700'000'000 - i * 3600.0;
        item.duration = 61;
        const int picture = i % distinctPictures;
        item.previewExtension = picture % 2 ? QStringLiteral("heic") : QStringLiteral("jpg");
        const QString preview = QStringLiteral("%1/Proxies/%2.preview.%3").arg(folder, item.id, item.previewExtension);
        if (!QFile::exists(preview))
            std::filesystem::create_hard_link(
                QStringLiteral("%1/sources/%2.%3").arg(folder).arg(picture).arg(item.previewExtension).toStdString(),
                preview.toStdString());
        items.append(item);
    }
    return items;
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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: grid_bench FIXTURE_DIR\n");
        return 2;
    }
    const QString fixture = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QList<Item> items = makeFixture(fixture);
    // The new items of the repeated searches, made by an earlier run.
    for (const QString& name : QDir(fixture + QStringLiteral("/Proxies")).entryList(QDir::Files)) {
        if (name.mid(5, 4).toInt() >= itemCount)
            QFile::remove(fixture + QStringLiteral("/Proxies/") + name);
    }

    QTemporaryDir support;
    Defaults defaults(support.filePath(QStringLiteral("Quorvin.conf")));
    Library library(benchServices(support.path(), defaults, std::make_shared<ManualClock>()));
    TaskPools pools;
    BenchActions actions(fixture + QStringLiteral("/Proxies"));
    const qint64 baseline = memoryKilobytes("VmRSS:");

    GridView view(library, actions, pools);
    view.resize(760, 720);   // four columns, as beside the sidebar and the inspector
    view.show();

    // What one tile's decode costs in CPU time of all the threads it uses (libvips' and the HEVC
    // decoder's included), at the size of the grid's tiles, before anything else runs.
    const QSize tile = GridCellDelegate::tileRect(
        grid::geometry(view.viewport()->width(), GridCellDelegate::textHeight(view.font())).cellRect(0)).size();
    const auto decodeCost = [&](const QString& extension) {
        const QString file = QStringLiteral("%1/sources/%2.%3").arg(fixture).arg(extension == QLatin1String("heic") ? 1 : 0).arg(extension);
        std::vector<double> costs;
        for (int i = 0; i < 5; ++i) {
            const double start = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
            decodePhotoCovering(file, tile);
            costs.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - start);
        }
        return percentile(costs, 0.5);
    };
    const double jpegCost = decodeCost(QStringLiteral("jpg"));
    const double heicCost = decodeCost(QStringLiteral("heic"));
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
        for (int i = 0; i < 5; ++i) {
            const qsizetype at = random.bounded(items.size());
            Item fresh = items.at(at);
            fresh.id = QStringLiteral("ITEM-%1").arg(nextId++, 4, 10, QLatin1Char('0'));
            std::filesystem::create_hard_link(actions.previewPath(items.at(at)).value().toStdString(),
                                              actions.previewPath(fresh).value().toStdString());
            items[at] = fresh;
        }
        items.swapItemsAt(random.bounded(items.size()), random.bounded(items.size()));
        library.setItems(items);
    });

    QScrollBar* bar = view.verticalScrollBar();
    // Asks `done` at most every 2 ms: asking after each event (the 1 ms timer's among them) would
    // take the two cores from the decoding it waits for.
    const auto waitUntil = [&](const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        qint64 asked = -2;
        while (waited.elapsed() < timeoutMs) {
            if (waited.elapsed() - asked >= 2) {
                if (done())
                    break;
                asked = waited.elapsed();
            }
            app.processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
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
    for (int stop = 0; stop < 12; ++stop) {
        bar->setValue(random.bounded(bar->maximum() + 1));
        fills.push_back(waitUntil([&] { return tilesWaiting(view) == 0; }, 30000));
        waitUntil([] { return false; }, 300);
    }
    ticker.stop();
    searches.stop();

    const qint64 peak = memoryKilobytes("VmHWM:");

    std::printf("| GUI-thread stall, longest | %.1f ms |\n", percentile(lateness, 1.0));
    std::printf("| GUI-thread stall, 99th percentile | %.2f ms |\n", percentile(lateness, 0.99));
    std::printf("| GUI-thread computing between two ticks, longest | %.1f ms |\n", percentile(busy, 1.0));
    std::printf("| GUI-thread computing between two ticks, 99th percentile | %.2f ms |\n", percentile(busy, 0.99));
    std::printf("| Timer ticks measured | %zu |\n", lateness.size());
    std::printf("| Visible tiles filled after a scroll stop, median of %zu | %.0f ms |\n", fills.size(), percentile(fills, 0.5));
    std::printf("| Visible tiles filled after a scroll stop, longest | %.0f ms |\n", percentile(fills, 1.0));
    std::printf("| CPU time of one tile's decode, 2048 px JPEG | %.0f ms |\n", jpegCost);
    std::printf("| CPU time of one tile's decode, 2048 px HEIC | %.0f ms |\n", heicCost);
    std::printf("| Peak memory of the process | %lld MB |\n", peak / 1024);
    std::printf("| Memory before the grid opened | %lld MB |\n", baseline / 1024);
    return 0;
}
