#include "Pellmar/views/device/ImportPlan.h"

#include <gtest/gtest.h>

namespace {

CardFile file(const char* name, MediaKind kind, qint64 size)
{
    return {QStringLiteral("/card/DCIM/") + QLatin1String(name), size, 0, kind};
}

const CardFile a = file("A.JPG", MediaKind::photo, 1'000'000);
const CardFile b = file("B.MOV", MediaKind::video, 2'000'000);
const CardFile c = file("C.WAV", MediaKind::audio, 500'000);
const CardFile d = file("D.PDF", MediaKind::document, 3'000);
const QList<CardFile> card{a, b, c, d};

ImportPlanInput listed(std::optional<ImportTarget> target = ImportTarget::folder(QStringLiteral("/home/u/Pictures")))
{
    ImportPlanInput in;
    in.listing = card;
    in.target = std::move(target);
    in.folderLabel = QStringLiteral("Pictures");
    return in;
}

QStringList urls(const QList<CardFile>& files)
{
    QStringList list;
    for (const CardFile& f : files)
        list.append(f.url);
    return list;
}

} // namespace

TEST(ImportPlanTest, SubsetChoosesFilesAndHeaderCountsThem)
{
    ImportPlanInput whole = listed();
    ImportPlan plan = derivePlan(whole);
    EXPECT_EQ(urls(plan.toCopy), urls(card));
    EXPECT_EQ(plan.subtitle, QStringLiteral("1 photos, 1 videos, 3.5 MB"));
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 4 files, 3.5 MB to Pictures"));
    EXPECT_TRUE(plan.canImport);

    ImportPlanInput subset = listed();
    subset.subset = {b.url, QStringLiteral("/elsewhere/X.JPG")};
    plan = derivePlan(subset);
    EXPECT_EQ(urls(plan.toCopy), QStringList{b.url});
    EXPECT_EQ(plan.subtitle, QStringLiteral("0 photos, 1 videos, 2 MB"));
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 1 files, 2 MB to Pictures"));

    // A subset of urls that are not on the card leaves nothing to copy.
    ImportPlanInput foreign = listed();
    foreign.subset = {QStringLiteral("/elsewhere/X.JPG")};
    plan = derivePlan(foreign);
    EXPECT_TRUE(plan.toCopy.isEmpty());
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 0 files, Zero KB to Pictures"));
    EXPECT_FALSE(plan.canImport);
}

TEST(ImportPlanTest, AlbumsDropAudioWhileTheHeaderKeepsIt)
{
    const struct {
        const char* what;
        ImportTarget target;
        const char* line;
    } cases[] = {
        {"album", ImportTarget::album({QStringLiteral("id1"), QStringLiteral("Trips > Alps")}),
         "Will copy 3 files, 3 MB to Trips > Alps in Photo Library"},
        {"new album", ImportTarget::newAlbum(QStringLiteral("Card")), "Will copy 3 files, 3 MB to Card in Photo Library"},
        {"folder", ImportTarget::folder(QStringLiteral("/home/u/Pictures")), "Will copy 4 files, 3.5 MB to Pictures"},
    };
    for (const auto& c : cases) {
        const ImportPlan plan = derivePlan(listed(c.target));
        EXPECT_EQ(plan.planLine, QString::fromUtf8(c.line)) << c.what;
        EXPECT_EQ(plan.headerSize, 3'503'000) << c.what;
        EXPECT_TRUE(plan.canImport) << c.what;
    }
}

TEST(ImportPlanTest, SkippingKnownFiles)
{
    // Before the card is listed: nothing to copy, no check result, Import off.
    ImportPlanInput early;
    early.target = ImportTarget::folder(QStringLiteral("/home/u/Pictures"));
    early.folderLabel = QStringLiteral("Pictures");
    early.skipKnown = true;
    ImportPlan plan = derivePlan(early);
    EXPECT_FALSE(plan.listed);
    EXPECT_EQ(plan.subtitle, QStringLiteral("Looking for photos and videos"));
    EXPECT_FALSE(plan.canImport);

    // Listed, check still running.
    ImportPlanInput checking = listed();
    checking.skipKnown = true;
    checking.checking = true;
    plan = derivePlan(checking);
    EXPECT_EQ(plan.planLine, QStringLiteral("Checking which files are already in Quorvin"));
    EXPECT_FALSE(plan.canImport);

    // Everything known: zero files, the duplicates named, Import off.
    ImportPlanInput allKnown = listed();
    allKnown.skipKnown = true;
    allKnown.known = QSet<QString>{a.url, b.url, c.url, d.url};
    plan = derivePlan(allKnown);
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 0 files, Zero KB to Pictures, skipping 4 duplicates"));
    EXPECT_FALSE(plan.canImport);

    // A known result kept while the option is off does not skip anything.
    allKnown.skipKnown = false;
    plan = derivePlan(allKnown);
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 4 files, 3.5 MB to Pictures"));

    // Zero duplicates still reads in the plural, with the delete note at the end.
    ImportPlanInput none = listed();
    none.skipKnown = true;
    none.known = QSet<QString>{};
    none.deleteAfter = true;
    plan = derivePlan(none);
    EXPECT_EQ(plan.planLine,
              QStringLiteral("Will copy 4 files, 3.5 MB to Pictures, skipping 0 duplicates, then delete them from the card"));
    EXPECT_TRUE(plan.canImport);
}

TEST(ImportPlanTest, ImportIsOffWithoutDestinationOrWhileAnImportRuns)
{
    ImportPlanInput noTarget = listed(std::nullopt);
    ImportPlan plan = derivePlan(noTarget);
    EXPECT_EQ(plan.planLine, QStringLiteral("Will copy 4 files, 3.5 MB"));
    EXPECT_FALSE(plan.canImport);

    ImportPlanInput running = listed();
    running.importRunning = true;
    EXPECT_FALSE(derivePlan(running).canImport);

    ImportPlanInput empty = listed();
    empty.listing = QList<CardFile>{};
    plan = derivePlan(empty);
    EXPECT_TRUE(plan.listed);
    EXPECT_EQ(plan.subtitle, QStringLiteral("0 photos, 0 videos, Zero KB"));
    EXPECT_FALSE(plan.canImport);
}
