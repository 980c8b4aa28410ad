#include "Pellmar/views/frame/DialogTexts.h"

#include <gtest/gtest.h>

namespace {

ItemCopy copy(const QString& itemID, const QString& sourceName, const QString& relativePath)
{
    ItemCopy copy;
    copy.item.id = itemID;
    copy.location.sourceName = sourceName;
    copy.location.relativePath = relativePath;
    return copy;
}

} // namespace

TEST(DialogTexts, Titles)
{
    Workspace family;
    family.name = QStringLiteral("Family");
    Source drive;
    drive.name = QStringLiteral("Backup 2024");
    const struct {
        QString actual;
        const char* expected;
    } cases[] = {
        {DialogTexts::deleteWorkspaceTitle(family), "Delete \"Family\"?"},
        {DialogTexts::deleteWorkspaceTitle(std::nullopt), "Delete \"\"?"},
        {DialogTexts::trashGroupTitle(1), "Move 1 item to the Trash?"},
        {DialogTexts::trashGroupTitle(0), "Move 0 items to the Trash?"},
        {DialogTexts::trashGroupTitle(12), "Move 12 items to the Trash?"},
        {DialogTexts::stopIndexingTitle(drive), "Stop indexing \"Backup 2024\"?"},
        {DialogTexts::stopIndexingTitle(std::nullopt), "Stop indexing \"\"?"},
        {DialogTexts::renameTitle(), "Rename"},
        {DialogTexts::trashCopyTitle(copy("A", "Home", "Pictures/2024/beach.jpg")), "Move \"beach.jpg\" to the Trash?"},
        {DialogTexts::trashCopyTitle(copy("A", "Home", "beach.jpg")), "Move \"beach.jpg\" to the Trash?"},
        {DialogTexts::trashCopyTitle(std::nullopt), "Move \"\" to the Trash?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, QString::fromUtf8(c.expected));
}

TEST(DialogTexts, Messages)
{
    const QHash<QString, qint64> copies{{"TWO", 2}, {"FOUR", 4}, {"ONE", 1}};
    const QString first = "One copy of each goes to the Trash, the first one found on a connected drive or folder.";
    const struct {
        QString actual;
        QString expected;
    } cases[] = {
        {DialogTexts::trashGroupMessage(3, 3), first},
        {DialogTexts::trashGroupMessage(5, 3),
         first + " 2 selected items have no copy that can be moved and stay as they are."},
        {DialogTexts::trashGroupMessage(4, 3), first + " 1 selected items have no copy that can be moved and stay as they are."},
        {DialogTexts::renameMessage(copy("A", "Home", "Pictures/2024/beach.jpg").location),
         "Renames the copy on Home in Pictures/2024."},
        {DialogTexts::renameMessage(copy("A", "Card %2", "beach.jpg").location), "Renames the copy on Card %2 in its top folder."},
        {DialogTexts::trashCopyMessage(copy("NONE", "Home", "beach.jpg"), copies),
         "The copy on Home in its top folder goes to the Trash."},
        {DialogTexts::trashCopyMessage(copy("ONE", "Home", "a/b.jpg"), copies), "The copy on Home in a goes to the Trash."},
        {DialogTexts::trashCopyMessage(copy("TWO", "Home", "a/b.jpg"), copies),
         "The copy on Home in a goes to the Trash. The other copy stays."},
        {DialogTexts::trashCopyMessage(copy("FOUR", "Home", "a/b.jpg"), copies),
         "The copy on Home in a goes to the Trash. The other 3 copies stay."},
        {DialogTexts::deleteWorkspaceMessage(),
         "Its pins and favorites go away. Your files, sources and index stay as they are."},
        {DialogTexts::stopIndexingMessage(), "Quorvin forgets its files, previews and pins. Nothing on the drive or folder "
                                             "is touched, and you can index it again later."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}
