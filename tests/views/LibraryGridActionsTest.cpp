#include "Pellmar/views/grid/LibraryGridActions.h"
#include "tests/library/OfflineLibrary.h"

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
