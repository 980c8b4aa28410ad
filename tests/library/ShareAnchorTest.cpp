#include "OfflineLibrary.h"

#include "Pellmar/library/core/ShareAnchor.h"

#include <gtest/gtest.h>

namespace {

class ShareAnchorTest : public ::testing::Test {
protected:
    std::unique_ptr<ShareAnchor> anchor(const QString& key)
    {
        return std::make_unique<ShareAnchor>(*library, key, [] { return std::optional<QRect>(); });
    }

    ShareAnchor* registered(const QString& key) const { return library->anchors.value(key).data(); }

    OfflineLibrary offline;
    std::unique_ptr<Library>& library = offline.library;
};

TEST_F(ShareAnchorTest, TheLastAnchorMadeOrUpdatedHoldsTheKey)
{
    auto first = anchor(QStringLiteral("A"));
    auto second = anchor(QStringLiteral("A"));
    EXPECT_EQ(registered(QStringLiteral("A")), second.get());

    first->update(QStringLiteral("A"));   // same key: registers again, taking the key back
    EXPECT_EQ(registered(QStringLiteral("A")), first.get());

    second.reset();                       // not registered any more: leaves the table alone
    EXPECT_EQ(registered(QStringLiteral("A")), first.get());
    first.reset();
    EXPECT_FALSE(library->anchors.contains(QStringLiteral("A")));
}

TEST_F(ShareAnchorTest, ChangingTheKeyRemovesTheOldEntryOnlyWhileItIsItsOwn)
{
    auto tile = anchor(QStringLiteral("A"));
    tile->update(QStringLiteral("B"));
    EXPECT_FALSE(library->anchors.contains(QStringLiteral("A")));
    EXPECT_EQ(registered(QStringLiteral("B")), tile.get());

    auto newer = anchor(QStringLiteral("B"));   // takes B over
    tile->update(QStringLiteral("C"));
    EXPECT_EQ(registered(QStringLiteral("B")), newer.get());
    EXPECT_EQ(registered(QStringLiteral("C")), tile.get());
    EXPECT_EQ(tile->key(), QStringLiteral("C"));
}

TEST_F(ShareAnchorTest, AnAnchorThatOutlivesItsLibraryDoesNothing)
{
    auto tile = anchor(QStringLiteral("A"));
    library.reset();
    tile->update(QStringLiteral("B"));
    tile.reset();   // no crash, no access to the gone Library
}

} // namespace
