#include "Pellmar/views/grid/LibraryGridActions.h"
#include "tests/library/ItemLibraryFixture.h"

#include <gtest/gtest.h>

TEST(LibraryGridActionsTest, TilesShowThePosterOfAVideoElseThePreviewElseAPhotoProxy)
{
    OfflineLibrary offline;
    LibraryGridActions actions(*offline.library);
    const QString proxies = offline.library->proxyDirectory() + u'/';
    const auto item = [](MediaKind kind, const char* preview, const char* poster, const char* proxy) {
        Item item;
        item.id = QStringLiteral("ID");
        item.kind = kind;
        item.previewExtension = QString::fromLatin1(preview);
        item.posterExtension = QString::fromLatin1(poster);
        item.proxyExtension = QString::fromLatin1(proxy);
        return item;
    };
    const struct {
        Item item;
        std::optional<QString> path;
    } cases[] = {
        {item(MediaKind::video, "jpg", "jpg", "mp4"), proxies + QStringLiteral("ID.poster.jpg")},
        {item(MediaKind::video, "jpg", "", "mp4"), proxies + QStringLiteral("ID.preview.jpg")},
        {item(MediaKind::photo, "", "jpg", "heic"), proxies + QStringLiteral("ID.heic")},
        {item(MediaKind::photo, "", "", "png"), std::nullopt},
        {item(MediaKind::document, "", "", "none"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(actions.previewPath(c.item), c.path);

    actions.setPointerInGrid(true);
    EXPECT_TRUE(offline.library->pointerInGrid);
}

namespace {

class LibraryGridActionsFixture : public CopiesFixture {};

// Clicks, keys and edit commands of the grid reach the Library's selection, opening and clipboard.
TEST_F(LibraryGridActionsFixture, GridActionsDriveTheLibrarysSelectionAndOpening)
{
    const Item a = addItemWithCopies({.id = "A"}, {"ON"});
    const Item b = addItemWithCopies({.id = "B"}, {"ON"});
    const Item c = addItemWithCopies({.id = "C", .kind = MediaKind::document, .filename = "C.pdf"}, {"CARD"});
    library->setItems({a, b, c});
    LibraryGridActions actions(*library);

    actions.click(a, 1, std::nullopt, false, false);
    EXPECT_EQ(library->selectedIDs(), (QSet<QString>{"A"}));
    EXPECT_EQ(library->selection()->id, QStringLiteral("A"));
    actions.click(c, 1, std::nullopt, false, true);
    EXPECT_EQ(actions.selectedItems(), (QList<Item>{a, b, c}));
    actions.select(std::nullopt);
    EXPECT_TRUE(library->selectedIDs().isEmpty());
    actions.selectAll();
    EXPECT_EQ(library->selectedIDs().size(), 3);
    actions.select(b);
    actions.extendSelection(a);
    EXPECT_EQ(library->selectedIDs(), (QSet<QString>{"A", "B"}));

    actions.select(b);
    actions.copySelection();
    settle();
    EXPECT_EQ(desktop.calls, QStringList{"copy files " + root + "/B.file images 0"});

    actions.quickLook({c});
    EXPECT_EQ(library->lastError(), QStringLiteral("Plug in the drive to preview this file."));
    actions.open(c);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return library->lastError() == QStringLiteral("Plug in CARD to open the original of C.pdf.");
    }, 5000));
}

} // namespace
