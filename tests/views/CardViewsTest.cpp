#include "Pellmar/views/device/CaptureDates.h"
#include "Pellmar/views/device/CardCells.h"
#include "Pellmar/views/device/CardGrid.h"
#include "Pellmar/views/device/CardPreviews.h"
#include "Pellmar/views/device/DevicePanelRules.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/kit/Formatters.h"
#include "tests/library/OfflineLibrary.h"

#include <QCoroFuture>
#include <QFuture>
#include <QMouseEvent>
#include <QPromise>
#include <QTest>

#include <map>

#include <gtest/gtest.h>

using namespace cards;

namespace {

CardFile file(const char* name, MediaKind kind, qint64 size = 2'000'000, double modified = 1'700'000'000)
{
    return {QStringLiteral("/media/u/CARD/DCIM/") + QLatin1String(name), size, modified, kind};
}

const CardFile photoA = file("A.JPG", MediaKind::photo);
const CardFile photoB = file("B.JPG", MediaKind::photo);
const CardFile video = file("C.MOV", MediaKind::video, 30'000'000);
const CardFile audio = file("D.WAV", MediaKind::audio, 1'000'000);
const CardFile document = file("E.PDF", MediaKind::document, 3'000);

} // namespace

TEST(CardCellsTest, TilesShowTheKindUntilAPreviewArrives)
{
    const struct {
        CardFile file;
        std::optional<QString> preview;
        std::optional<QString> symbol;
        const char* caption;
    } cases[] = {
        {photoA, std::nullopt, QStringLiteral("photo"), "Photo, 2 MB"},
        {photoA, QStringLiteral("/tmp/p.jpg"), std::nullopt, "Photo, 2 MB"},
        {video, std::nullopt, QStringLiteral("film"), "Video, 30 MB"},
        {audio, std::nullopt, QStringLiteral("waveform"), "Audio, 1 MB"},
        {document, std::nullopt, QStringLiteral("photo"), "Document, 3 KB"},
    };
    for (const auto& c : cases) {
        const grid::Cell cell = cardCell(c.file, true, c.preview);
        EXPECT_EQ(cell.id, c.file.url);
        EXPECT_EQ(cell.picturePath, c.preview);
        EXPECT_EQ(cell.placeholderSymbol, c.symbol) << c.caption;
        EXPECT_EQ(cell.caption, QString::fromUtf8(c.caption));
        EXPECT_TRUE(cell.selected);
    }
    EXPECT_EQ(cardCell(photoA, false, {}).name, QStringLiteral("A.JPG"));
}

TEST(CardCellsTest, OverlayByListingAndSearchText)
{
    using Kind = Overlay::Kind;
    const struct {
        std::optional<QList<CardFile>> visible;
        const char* query;
        Kind kind;
        const char* title;
    } cases[] = {
        {std::nullopt, "", Kind::looking, "Looking for photos and videos"},
        {QList<CardFile>{}, "", Kind::nothingOnCard, "Nothing on CARD"},
        {QList<CardFile>{}, "  ", Kind::noMatches, "No matches"},   // blanks filter nothing, yet count as typed
        {QList<CardFile>{photoA}, "x", Kind::none, ""},
    };
    for (const auto& c : cases) {
        const Overlay overlay = cards::overlay(c.visible, QString::fromUtf8(c.query), QStringLiteral("CARD"));
        EXPECT_EQ(overlay.kind, c.kind) << c.title;
        EXPECT_EQ(overlay.title, QString::fromUtf8(c.title));
    }
    EXPECT_EQ(cards::overlay(QList<CardFile>{}, {}, QStringLiteral("CARD")).description,
              QStringLiteral("Import appears here when the card has photos or videos."));
}

TEST(DevicePanelRulesTest, DeviceFactsByListing)
{
    EXPECT_EQ(deviceFacts(std::nullopt), DeviceFacts{});
    EXPECT_EQ(deviceFacts(QList<CardFile>{}),
              (DeviceFacts{true, {{"Photos", "0"}, {"Videos", "0"}, {"Size", "Zero KB"}}, false}));
    EXPECT_EQ(deviceFacts(QList<CardFile>{photoA, video, document}),
              (DeviceFacts{true, {{"Photos", "1"}, {"Videos", "1"}, {"Size", "32 MB"}}, true}));
    EXPECT_EQ(deviceFacts(QList<CardFile>{photoA, audio}),
              (DeviceFacts{true, {{"Photos", "1"}, {"Videos", "0"}, {"Audio", "1"}, {"Size", "3 MB"}}, true}));
    EXPECT_EQ(usageText(Device{QStringLiteral("/m"), QStringLiteral("C"), 64'000'000'000, 62'800'000'000}),
              QStringLiteral("1.2 GB used of 64 GB"));
}

TEST(DevicePanelRulesTest, GroupSummaryCountsTickedFilesOnTheCard)
{
    const QList<CardFile> listing{photoA, photoB, video, audio, document};
    const GroupSummary summary = groupSummary(listing, {photoA.url, video.url, audio.url, QStringLiteral("/gone.JPG")},
                                              QStringLiteral("Card A"));
    EXPECT_EQ(summary.heading, QStringLiteral("3 files selected"));
    EXPECT_EQ(summary.line, QStringLiteral("On Card A, 1 photos, 1 videos, 33 MB"));
}

TEST(DevicePanelRulesTest, CardFileFactsFallBackToTheModificationDate)
{
    EXPECT_EQ(cardFileFacts(video, std::nullopt),
              (QList<Fact>{{"Kind", "Video"}, {"Size", "30 MB"}, {"Captured", longDateTimeText(video.modified)}}));
    EXPECT_EQ(cardFileFacts(photoA, 1'600'000'000).last().value, longDateTimeText(1'600'000'000));
}

TEST(CaptureDatesTest, ALateReadOfTheFileBeforeNeverLandsOnTheNext)
{
    QList<std::function<void()>> jobs;   // a manual executor: jobs run when the test says
    QStringList read;
    CaptureDates dates([&](const CardFile& f) {
        read.append(f.url);
        return f.url == photoA.url ? std::optional(1.0e9) : std::optional(2.0e9);
    }, [&](std::function<void()> job) { jobs.append(std::move(job)); });

    dates.show(photoA);
    dates.show(photoB);
    ASSERT_EQ(jobs.size(), 2);
    jobs[1]();   // B first
    QCoreApplication::processEvents();
    EXPECT_EQ(dates.captured(), 2.0e9);
    jobs[0]();   // A's read ends late
    QCoreApplication::processEvents();
    EXPECT_EQ(dates.captured(), 2.0e9);

    // Another file forgets the date at once; audio is never read.
    dates.show(audio);
    EXPECT_EQ(dates.captured(), std::nullopt);
    EXPECT_EQ(jobs.size(), 2);
    EXPECT_EQ(read, (QStringList{photoB.url, photoA.url}));
}

namespace {

QCoro::Task<std::optional<QString>> resultOf(QFuture<std::optional<QString>> future)
{
    co_return co_await future;
}

} // namespace

// A card reader slows down under many reads at once: two run at a time, the tiles on screen are
// served first, and a tile that left the screen before its read began is not read.
TEST(CardPreviewsTest, TwoReadsAtATimeForTheTilesOnScreen)
{
    std::map<QString, QPromise<std::optional<QString>>> reads;   // by url, answered when the test says
    QStringList started;
    CardPreviews previews([&](CardFile f) {
        started.append(f.url.section(u'/', -1));
        QPromise<std::optional<QString>>& read = reads[f.url];
        read.start();
        return resultOf(read.future());
    });
    const auto answer = [&](const CardFile& f, std::optional<QString> preview) {
        reads[f.url].addResult(preview);
        reads[f.url].finish();
        ASSERT_TRUE(QTest::qWaitFor([&] { return previews.isKnown(f); }, 5000));
    };
    const CardFile photoC = file("C.JPG", MediaKind::photo);
    const CardFile photoD = file("D.JPG", MediaKind::photo);

    previews.want({photoA, photoB, photoC, photoD});
    EXPECT_EQ(started, (QStringList{"A.JPG", "B.JPG"}));
    EXPECT_EQ(previews.waiting(), 2);
    previews.want({photoD});   // scrolled: C left the screen before its turn
    EXPECT_EQ(previews.waiting(), 1);

    answer(photoA, QStringLiteral("/cache/A.jpg"));
    EXPECT_EQ(started, (QStringList{"A.JPG", "B.JPG", "D.JPG"}));
    answer(photoB, std::nullopt);   // no preview could be made: known all the same
    answer(photoD, QStringLiteral("/cache/D.jpg"));
    EXPECT_EQ(previews.preview(photoA), QStringLiteral("/cache/A.jpg"));
    EXPECT_EQ(previews.preview(photoB), std::nullopt);

    // Tiles that come back are not read again.
    previews.want({photoA, photoB, photoD});
    EXPECT_EQ(started, (QStringList{"A.JPG", "B.JPG", "D.JPG"}));
    EXPECT_EQ(previews.reading(), 0);

    // Another card's A.JPG at the same path is another file; a failure is tried again once forgotten.
    CardFile otherA = photoA;
    otherA.size += 1;
    otherA.modified += 60;
    EXPECT_EQ(previews.preview(otherA), std::nullopt);
    previews.forgetFailures();
    reads.erase(photoA.url);
    reads.erase(photoB.url);
    previews.want({otherA, photoB});
    EXPECT_EQ(started, (QStringList{"A.JPG", "B.JPG", "D.JPG", "A.JPG", "B.JPG"}));
    answer(otherA, QStringLiteral("/cache/A2.jpg"));
    answer(photoB, QStringLiteral("/cache/B.jpg"));
    EXPECT_EQ(previews.preview(otherA), QStringLiteral("/cache/A2.jpg"));
    EXPECT_EQ(previews.preview(photoA), QStringLiteral("/cache/A.jpg"));
}

namespace {

class CardGridTest : public ::testing::Test {
protected:
    CardGridTest()
    {
        CardGridActions actions;
        actions.visibleFiles = [this](const QString&) { return visible; };
        actions.click = [this](const CardFile& f, const QList<CardFile>&, bool command, bool shift) {
            clicks.append(f.url.section(u'/', -1) + (command ? QStringLiteral("+cmd") : QString()) +
                          (shift ? QStringLiteral("+shift") : QString()));
        };
        actions.clearSelection = [this] { clicks.append(QStringLiteral("background")); };
        actions.preview = [this](CardFile f) { return preview(std::move(f)); };
        grid = new CardGrid(library, actions, library.pools(), &window);
        window.resize(800, 600);
        grid->resize(800, 600);
        window.show();
    }

    void show(std::optional<QList<CardFile>> files)
    {
        visible = std::move(files);
        grid->setDevice(device);
        library.setQuery(QStringLiteral("refresh %1").arg(++refreshes));
        QCoreApplication::processEvents();
    }
    QCoro::Task<std::optional<QString>> preview(CardFile f)
    {
        ++reads;
        co_return QStringLiteral("/cache/") + f.url.section(u'/', -1);
    }
    QPoint tileCentre(int row) const { return grid->visualRect(grid->rows().index(row)).center() - QPoint(0, 20); }

    OfflineLibrary offline;
    Library& library = *offline.library;
    Device device{QStringLiteral("/media/u/CARD"), QStringLiteral("CARD"), 0, 0};
    std::optional<QList<CardFile>> visible;
    QStringList clicks;
    int reads = 0;
    int refreshes = 0;
    QWidget window;
    CardGrid* grid = nullptr;
};

} // namespace

TEST_F(CardGridTest, ClicksGoToTheLibraryWithTheirKeys)
{
    show(QList<CardFile>{photoA, photoB, video});
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->rows().cells().size() == 3; }, 5000));
    QWidget* surface = grid->viewport();
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, tileCentre(0));
    QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier, tileCentre(1));
    QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, tileCentre(2));
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(790, 590));
    // A double click is two single clicks, with nothing opened: the window system reports the
    // second press as a double click.
    const QPoint onB = tileCentre(1);
    QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, onB);
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, onB);
    QMouseEvent second(QEvent::MouseButtonDblClick, onB, surface->mapToGlobal(onB), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
    QCoreApplication::sendEvent(surface, &second);
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, onB);
    EXPECT_EQ(clicks, (QStringList{"A.JPG", "B.JPG+cmd", "C.MOV+shift", "background", "B.JPG", "B.JPG"}))
        << clicks.join(u',').toStdString();
}

TEST_F(CardGridTest, PreviewsAreAskedOnceForPhotosAndKeptAcrossNewOrders)
{
    show(QList<CardFile>{photoA, photoB, video});
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->previews().isKnown(photoA) && grid->previews().isKnown(photoB); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->rows().cells().value(1).picturePath.has_value(); }, 5000));
    EXPECT_EQ(reads, 2);   // the video keeps its symbol and is never read
    EXPECT_EQ(grid->rows().cells().value(2).placeholderSymbol, QStringLiteral("film"));

    // Filtered, then re-sorted: the tiles keep their previews and nothing is read again.
    show(QList<CardFile>{photoB});
    EXPECT_EQ(grid->rows().cells().value(0).picturePath, QStringLiteral("/cache/B.JPG"));
    show(QList<CardFile>{video, photoB, photoA});
    EXPECT_EQ(grid->rows().cells().value(2).picturePath, QStringLiteral("/cache/A.JPG"));
    EXPECT_EQ(reads, 2);

    // Not listed yet, then an empty card.
    show(std::nullopt);
    EXPECT_EQ(grid->overlay().kind, Overlay::Kind::looking);
    EXPECT_TRUE(grid->rows().cells().isEmpty());
}
