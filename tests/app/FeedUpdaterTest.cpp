#include "Pellmar/app/FeedUpdater.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/platform/Defaults.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

TEST(FeedUpdaterAnswer, SaysWhetherTheFeedListsANewerVersion)
{
    using Answer = FeedUpdater::Answer;
    const struct {
        const char* feed;
        Answer expected;
    } cases[] = {
        {R"({"version": "0.2"})",
         {"A new version is available",
          "Quorvin 0.2 is available; you have 0.1.5. Install it with your distribution's packages."}},
        {R"({"version": "1.0", "url": "https://example.org/news"})",
         {"A new version is available", "Quorvin 1.0 is available; you have 0.1.5. Install it with your "
                                        "distribution's packages. More at https://example.org/news"}},
        {R"({"version": "0.1.5"})", {"Quorvin is up to date", "Quorvin 0.1.5 is the newest version."}},
        {R"({"version": "0.1.4"})", {"Quorvin is up to date", "Quorvin 0.1.5 is the newest version."}},
        {R"({"version": ""})", {"Could not check for updates", "The release feed names no version."}},
        {"not json", {"Could not check for updates", "The release feed names no version."}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FeedUpdater::answer("0.1.5", c.feed), c.expected) << c.feed;
}

class FeedUpdaterTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Defaults defaults{dir.filePath("Quorvin.conf")};
    TaskPools pools;
    FeedUpdater updater{defaults, pools, "0.1"};
};

TEST_F(FeedUpdaterTest, WithoutAFeedNoCheckCanBeMade)
{
    updater.start();
    EXPECT_FALSE(updater.canCheck());
    QSignalSpy checked(&updater, &Updater::checked);
    updater.check();
    EXPECT_EQ(checked.count(), 0);
}

TEST_F(FeedUpdaterTest, ChecksALocalFeedOffTheGuiThread)
{
    QFile feed(dir.filePath("feed.json"));
    ASSERT_TRUE(feed.open(QIODevice::WriteOnly));
    feed.write(R"({"version": "0.3"})");
    feed.close();
    defaults.set("updateFeed", QUrl::fromLocalFile(feed.fileName()).toString());
    updater.start();
    ASSERT_TRUE(updater.canCheck());

    QSignalSpy checked(&updater, &Updater::checked);
    updater.check();
    EXPECT_FALSE(updater.canCheck());   // while the check runs
    ASSERT_TRUE(checked.wait(5000));
    EXPECT_EQ(checked[0][0].toString(), "A new version is available");
    EXPECT_TRUE(updater.canCheck());
}

TEST_F(FeedUpdaterTest, AFeedThatCannotBeReadSaysSo)
{
    defaults.set("updateFeed", dir.filePath("missing.json"));
    updater.start();
    QSignalSpy checked(&updater, &Updater::checked);
    updater.check();
    ASSERT_TRUE(checked.wait(5000));
    EXPECT_EQ(checked[0][0].toString(), "Could not check for updates");
    EXPECT_FALSE(checked[0][1].toString().isEmpty());
}

// A feed is read only over https or from a local file, and no further than 1 MiB: an endless reply
// cannot grow the program, and one that anyone on the way could change is not asked.
TEST_F(FeedUpdaterTest, OnlyAnHttpsOrLocalFeedOfAtMost1MiBIsRead)
{
    const auto localFeed = [this](const QString& name, const QByteArray& contents) {
        QFile feed(dir.filePath(name));
        EXPECT_TRUE(feed.open(QIODevice::WriteOnly));
        feed.write(contents);
        return feed.fileName();
    };
    const QByteArray listing = R"({"version": "0.3"})";
    const struct {
        QString feed;
        QString title;
        QString message;
    } cases[] = {
        {"http://example.org/feed.json", "Could not check for updates",
         "The release feed must be an https address or a local file."},
        {localFeed("large.json", listing + QByteArray((1 << 20) - listing.size() + 1, ' ')),
         "Could not check for updates", "The release feed is larger than 1 MiB."},
        {localFeed("full.json", listing + QByteArray((1 << 20) - listing.size(), ' ')), "A new version is available",
         "Quorvin 0.3 is available; you have 0.1. Install it with your distribution's packages."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feed.toStdString());
        defaults.set("updateFeed", c.feed);
        updater.start();
        QSignalSpy checked(&updater, &Updater::checked);
        updater.check();
        ASSERT_TRUE(checked.count() == 1 || checked.wait(5000));
        EXPECT_EQ(checked[0][0].toString(), c.title);
        EXPECT_EQ(checked[0][1].toString(), c.message);
    }
}
