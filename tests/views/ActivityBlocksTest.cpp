#include "Pellmar/views/strip/ActivityBlocks.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

Source source(const QString& id, const QString& name)
{
    Source s;
    s.id = id;
    s.name = name;
    return s;
}

Device card(const QString& url = QStringLiteral("/media/me/CARD"))
{
    Device device;
    device.url = url;
    device.name = QStringLiteral("CARD");
    return device;
}

ImportResult result(qint64 count, std::optional<QString> folder, std::optional<QString> album, qint64 deleted,
                    bool cancelled, qint64 kept = 0)
{
    ImportResult r;
    r.count = count;
    r.folder = std::move(folder);
    r.album = std::move(album);
    r.deleted = deleted;
    r.device = card();
    r.cancelled = cancelled;
    r.kept = kept;
    return r;
}

// Larger previews left on an online source, no other work.
ActivityInputs previewsLeft()
{
    ActivityInputs in;
    in.sources = {source("S", "Photos")};
    in.online = {"S"};
    in.fullStatus = {40, 100};
    return in;
}

} // namespace

TEST(ActivityBlocks, ImportResultSentences)
{
    const struct {
        ImportResult result;
        const char* sentence;
    } cases[] = {
        {result(1, "/home/me/Trip", std::nullopt, 0, false), "Imported 1 file to Trip"},
        {result(12, std::nullopt, "Trip", 3, false), "Imported 12 files to Trip in Photo Library, deleted 3 from CARD"},
        {result(5, "/home/me/Trip/", std::nullopt, 0, true), "Import stopped. Copied 5 files to Trip"},
        {result(2500, std::nullopt, std::nullopt, 0, false), "Imported 2,500 files to "},
        {result(202, "/home/me/Trip", std::nullopt, 198, false, 4),
         "Imported 202 files to Trip, deleted 198 from CARD, kept 4 on CARD that changed during the import or could not "
         "be deleted"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(importResultSentence(c.result), QLatin1String(c.sentence));
}

TEST(ActivityBlocks, ImportResultButtonsFollowTheDestinationAndTheMountedCard)
{
    ActivityInputs in;
    in.importResult = result(3, std::nullopt, std::nullopt, 0, false);
    in.devices = {card("/media/me/CARD/")};
    ImportResultRow row = *activityBlocks(in).importResult;
    EXPECT_TRUE(row.intoPhotoLibrary);
    EXPECT_EQ(row.ejectLabel, "Eject CARD");

    in.importResult->folder = QStringLiteral("/home/me/Trip");
    in.devices = {card("/media/me/OTHER")};
    row = *activityBlocks(in).importResult;
    EXPECT_FALSE(row.intoPhotoLibrary);
    EXPECT_EQ(row.folder, "/home/me/Trip");
    EXPECT_FALSE(row.ejectLabel);

    // A running import shows its progress instead of the last result.
    in.importJob = ImportJob{};
    EXPECT_TRUE(activityBlocks(in).importProgress);
    EXPECT_FALSE(activityBlocks(in).importResult);
}

TEST(ActivityBlocks, ImportProgressBeforeAnyByteAndAtSpeed)
{
    ActivityInputs in;
    ImportJob job;
    job.device = QStringLiteral("CARD");
    job.destination = QStringLiteral("Trip");
    job.total = 12;
    job.started = 1000;
    in.now = 1000.2;   // less than a second: counted as one
    in.importJob = job;
    ImportProgressBlock block = *activityBlocks(in).importProgress;
    EXPECT_EQ(block.title, "Importing from CARD to Trip");
    EXPECT_EQ(block.counts, "0 of 12");
    EXPECT_EQ(block.progress, (ProgressValue{0, 1}));
    EXPECT_EQ(block.transfer, "Zero KB of Zero KB, Zero KB/s");

    in.importJob->done = 3;
    in.importJob->bytesDone = 6'000'000;
    in.importJob->bytesTotal = 24'000'000;
    in.now = 1004;
    block = *activityBlocks(in).importProgress;
    EXPECT_EQ(block.transfer, "6 MB of 24 MB, 1.5 MB/s");
}

TEST(ActivityBlocks, ProgressScalesByteCountsIntoTheBarsRange)
{
    constexpr int largest = std::numeric_limits<int>::max();
    const struct {
        qint64 value, total;
        ProgressValue bar;
    } cases[] = {
        {0, 0, {0, 1}},
        {5, 10, {5, 10}},
        {-3, 10, {0, 10}},
        {12, 10, {10, 10}},
        {4'000'000'000'000, 8'000'000'000'000, {largest / 2 + 1, largest}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(progressValue(c.value, c.total), c.bar) << c.value << " of " << c.total;
}

TEST(ActivityBlocks, TheFirstActivityThatAppliesIsShown)
{
    ActivityInputs in = previewsLeft();
    in.fullProcessing = true;
    in.processing = true;
    in.status = {.found = 2, .identified = 1, .ready = 5, .failed = 1, .empty = 1};
    in.scanning = QStringLiteral("Photos");
    in.scanFound = 12345;
    // A scan hides the rest, even with both workers running.
    const auto scan = std::get<ScanBlock>(activityBlocks(in).activity);
    EXPECT_EQ(scan.title, "Finding files on Photos");
    EXPECT_EQ(scan.found, "12,345 files found");

    in.scanning.reset();
    const auto indexing = std::get<IndexingBlock>(activityBlocks(in).activity);
    EXPECT_EQ(indexing.title, "Indexing ");   // no source has unfinished progress
    EXPECT_EQ(indexing.counts, "7 of 10");
    EXPECT_EQ(indexing.progress, (ProgressValue{7, 10}));
    EXPECT_EQ(indexing.workingOn, "");

    in.processing = false;
    // Files pending while the quick-index worker is stopped: only the waiting row.
    EXPECT_EQ(std::get<WaitingRow>(activityBlocks(in).activity).text, "3 files waiting to be indexed");

    in.status = {};
    EXPECT_TRUE(std::holds_alternative<PreviewBlock>(activityBlocks(in).activity));

    // Previews left but no source online and no preview worker: nothing.
    in.fullProcessing = false;
    in.online.clear();
    EXPECT_TRUE(std::holds_alternative<std::monostate>(activityBlocks(in).activity));
}

TEST(ActivityBlocks, IndexingNamesTheUnfinishedSourcesAndTheTimeLeft)
{
    ActivityInputs in;
    in.processing = true;
    in.sources = {source("A", "Archive"), source("B", "Backup"), source("C", "Camera")};
    in.sourceProgress = {{"C", {1, 4}}, {"A", {2, 9}}, {"B", {3, 3}}};
    in.status = {.found = 1200, .ready = 300};
    in.rate = 10;
    in.inFlight = {"a.jpg", "b.mov"};
    const auto block = std::get<IndexingBlock>(activityBlocks(in).activity);
    EXPECT_EQ(block.title, "Indexing Archive, Camera");
    EXPECT_EQ(block.counts, "300 of 1,500, about 2 min left");
    EXPECT_EQ(block.workingOn, "Working on a.jpg, b.mov");
}

TEST(ActivityBlocks, PreviewTitleGivesTheFirstReason)
{
    const struct {
        bool processing, waiting, never, battery, notOnBattery, hot;
        const char* title;
        bool working;
    } cases[] = {
        {true, false, true, true, true, true, "Building previews", true},
        {false, false, false, false, false, false, "Previews paused", false},
        {true, true, true, true, true, true, "Previews are off in Settings", false},
        {true, true, false, true, true, true, "Previews paused to save battery", false},
        {true, true, false, true, false, true, "Previews paused while the computer is warm", false},
        {true, true, false, false, false, false, "Previews will continue when you step away", false},
    };
    for (const auto& c : cases) {
        ActivityInputs in = previewsLeft();
        in.fullProcessing = c.processing;
        in.fullWaiting = c.waiting;
        in.previewsNever = c.never;
        in.onBattery = c.battery;
        in.notOnBattery = c.notOnBattery;
        in.isHot = c.hot;
        in.fullRate = 0.5;
        const auto block = std::get<PreviewBlock>(activityBlocks(in).activity);
        EXPECT_EQ(block.title, QLatin1String(c.title));
        EXPECT_EQ(block.working, c.working) << c.title;
        // The time left only while working.
        EXPECT_EQ(block.counts, c.working ? "40 of 100, about 2 min left" : "40 of 100") << c.title;
    }
}

TEST(ActivityBlocks, MorePreviewsDoneThanCountedLeavesNoTimeLeft)
{
    ActivityInputs in = previewsLeft();
    in.fullProcessing = true;
    in.fullRate = 5;
    in.fullStatus = {120, 100};
    const auto block = std::get<PreviewBlock>(activityBlocks(in).activity);
    EXPECT_EQ(block.counts, "120 of 100");
    EXPECT_EQ(block.progress, (ProgressValue{100, 100}));
}

TEST(ActivityBlocks, TheWatchNoteNamesTheSourcesWithUnwatchedFolders)
{
    const struct {
        const char* situation;
        QSet<QString> unwatched;
        std::optional<QString> note;
    } cases[] = {
        {"every folder watched", {}, std::nullopt},
        {"one source", {"H"},
         "Some folders of Home are not watched: the system allows no more folder watches. Changes in them show "
         "after the next scan."},
        {"sources in sidebar order", {"D", "H"},
         "Some folders of Home, Backup Disk are not watched: the system allows no more folder watches. Changes "
         "in them show after the next scan."},
        {"a source that is gone", {"X"}, std::nullopt},
    };
    for (const auto& c : cases) {
        ActivityInputs in;
        in.sources = {source("H", "Home"), source("D", "Backup Disk")};
        in.unwatchedSources = c.unwatched;
        // The note stands beside whatever else runs.
        in.scanning = QStringLiteral("Home");
        const ActivityBlocks blocks = activityBlocks(in);
        EXPECT_EQ(blocks.watchNote, c.note) << c.situation;
        EXPECT_TRUE(std::holds_alternative<ScanBlock>(blocks.activity)) << c.situation;
    }
}
