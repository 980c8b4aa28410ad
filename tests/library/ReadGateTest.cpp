#include "Pellmar/library/engine/ReadGate.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// A file of `size` bytes that takes no room on the disk.
QString sparseFile(const QTemporaryDir& dir, const QString& name, qint64 size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_TRUE(file.resize(size));
    return path;
}

TEST(ReadGate, GatesOnlyFilesLargerThan32MiB)
{
    const struct {
        std::optional<qint64> size;
        bool gated;
    } cases[] = {
        {std::nullopt, false}, {0, false}, {33'554'432, false}, {33'554'433, true}, {qint64(1) << 40, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadGate::isGated(c.size), c.gated) << (c.size ? *c.size : -1);

    QTemporaryDir dir;
    EXPECT_EQ(ReadGate::sizeOf(sparseFile(dir, "exact", 33'554'432)), 33'554'432);
    EXPECT_EQ(ReadGate::sizeOf(dir.filePath("missing")), std::nullopt);
}

// While one worker reads a large file, another large file waits and a small or vanished one does
// not; the waiters get the gate in arrival order, each from the one before it.
TEST(ReadGate, LargeFilesWaitInArrivalOrderSmallOnesPassAtOnce)
{
    QTemporaryDir dir;
    const QString large = sparseFile(dir, "large.mov", 33'554'433);
    const QString small = sparseFile(dir, "small.mov", 33'554'432);
    Gate& gate = ReadGate::shared();

    std::optional<std::optional<Gate::Pass>> first(ReadGate::passFor(large));
    ASSERT_TRUE(first->has_value());
    EXPECT_TRUE(gate.isHeld());
    EXPECT_FALSE(ReadGate::passFor(small).has_value());
    EXPECT_FALSE(ReadGate::passFor(dir.filePath("gone.mov")).has_value());
    EXPECT_EQ(gate.waiting(), 0);

    std::mutex lock;
    QStringList turns;
    std::vector<std::thread> readers;
    for (const QString name : {"second", "third"}) {
        const int line = gate.waiting() + 1;
        readers.emplace_back([&, name] {
            const std::optional<Gate::Pass> pass = ReadGate::passFor(large);
            std::lock_guard locker(lock);
            turns.append(name);
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.waiting() == line; }, 5000));
    }
    first.reset();
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(turns, (QStringList{"second", "third"}));
    EXPECT_FALSE(gate.isHeld());
}

} // namespace
