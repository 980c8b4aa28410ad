#include "Pellmar/library/engine/ReadingMarks.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The marks a process still held when it ended are what the next process finds left; a mark made
// meanwhile never takes their place before their failures are recorded.
TEST(ReadingMarksTest, MarksHeldWhenTheProcessEndsAreLeftUntilTheirFailuresAreRecorded)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reading.marks"));
    // A process that ends while it reads: its marks are never cleared, as after a kill.
    auto* ended = new ReadingMarks(path);
    EXPECT_TRUE(ended->left().isEmpty());
    {
        const ReadingMarks::Mark done = ended->markFile(7);
    }
    new ReadingMarks::Mark(ended->markFile(42));
    new ReadingMarks::Mark(ended->markItem(QStringLiteral("ITEM-A")));

    ReadingMarks next(path);
    EXPECT_EQ(next.left().fileIDs, QList<qint64>{42});
    EXPECT_EQ(next.left().itemIDs, QStringList{QStringLiteral("ITEM-A")});
    {
        const ReadingMarks::Mark reading = next.markFile(8);
        const ReadingMarks third(path);
        EXPECT_EQ(third.left().fileIDs, (QList<qint64>{42, 8}));
        EXPECT_EQ(third.left().itemIDs, QStringList{QStringLiteral("ITEM-A")});
    }
    next.forgetLeft();
    EXPECT_TRUE(next.left().isEmpty());
    EXPECT_TRUE(ReadingMarks(path).left().isEmpty());
}

} // namespace
