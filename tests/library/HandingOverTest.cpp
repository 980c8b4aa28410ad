#include "ItemLibraryFixture.h"

#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/media/PhotosFolderLibrary.h"

#include <QCoroTask>
#include <QImage>
#include <QScopeGuard>

namespace {

class HandingOverTest : public CopiesFixture {
protected:
    void writePreview(const Item& item)
    {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(*library->previewURL(item), "JPEG"));
    }
};

TEST_F(HandingOverTest, CopyPathGivesTheReachableFileElseWhereTheFileWouldBe)
{
    QCoro::waitFor(library->copyPaths(addItemWithCopies({.id = "HERE"}, {"DRIVE", "ON"})));
    QCoro::waitFor(library->copyPaths(addItemWithCopies({.id = "AWAY"}, {"PH", "DRIVE", "CARD"})));
    QCoro::waitFor(library->copyPaths(addItemWithCopies({.id = "PHOTOS"}, {"PH"})));
    EXPECT_EQ(desktop.calls, (QStringList{"copy text " + root + "/HERE.file", "copy text /DRIVE/AWAY.file"}));
}

TEST_F(HandingOverTest, RevealShowsOnlyAFileThatIsHere)
{
    QCoro::waitFor(library->revealInFinder(addItemWithCopies({.id = "HERE"}, {"PH", "ON"})));
    addItem({.id = "CLOUD"});
    addFile({.sourceID = "ON", .relPath = "CLOUD.file", .itemID = "CLOUD", .local = false});
    QCoro::waitFor(library->revealInFinder(*index.itemByID("CLOUD")));
    QCoro::waitFor(library->revealInFinder(addItemWithCopies({.id = "AWAY"}, {"DRIVE"})));
    EXPECT_EQ(desktop.calls, QStringList{"reveal " + root + "/HERE.file"});
}

// The photo library keeps its originals in its own folder: the first photo library copy's original
// is selected in the file manager; one that is not on this computer opens the library instead.
TEST_F(HandingOverTest, ShowInPhotosSelectsTheFirstPhotoLibraryCopysOriginal)
{
    const auto photos = std::make_shared<PhotosFolderLibrary>(dir.filePath(QStringLiteral("Photos.library")));
    setSharedPhotoLibrary(photos);
    const auto forget = qScopeGuard([] { setSharedPhotoLibrary(nullptr); });
    EXPECT_TRUE(library->canShowInPhotos());
    const QString picture = dir.filePath(QStringLiteral("IMG_1.HEIC"));
    QFile(picture).open(QIODevice::WriteOnly);
    QString asset;
    photos->performChanges([&](PhotoLibraryChanges& changes) {
        asset = changes.createAsset(PhotoResourceType::photo, picture, QStringLiteral("IMG_1.HEIC"));
    }).waitForFinished();
    const std::optional<QString> original = photos->originalFile(asset);
    ASSERT_TRUE(original);

    addItem({.id = "I", .filename = "IMG_1.HEIC"});
    addFile({.sourceID = "DRIVE", .relPath = "a.heic", .itemID = "I"});
    addFile({.sourceID = "PH", .relPath = "x", .itemID = "I", .assetID = asset});
    addSource("PH2", SourceKind::photos, 5);
    addFile({.sourceID = "PH2", .relPath = "y", .itemID = "I", .assetID = "SECOND/L0/001"});
    QCoro::waitFor(library->showInPhotos(*index.itemByID("I")));
    EXPECT_EQ(desktop.calls, QStringList{"reveal " + *original});
    EXPECT_FALSE(library->lastError());

    desktop.calls.clear();
    addItem({.id = "GONE", .filename = "IMG_2.HEIC"});
    addFile({.sourceID = "PH", .relPath = "z", .itemID = "GONE", .assetID = "NOT/L0/001"});
    QCoro::waitFor(library->showInPhotos(*index.itemByID("GONE")));
    EXPECT_EQ(library->lastError(), QStringLiteral("Photo Library opened, but could not show IMG_2.HEIC."));
    EXPECT_EQ(desktop.calls, QStringList{"open " + defaultPhotosLibraryPath()});
}

TEST_F(HandingOverTest, ShowInPhotosWithoutAPhotoLibraryCopyDoesNothing)
{
    QCoro::waitFor(library->showInPhotos(addItemWithCopies({.id = "FILE"}, {"ON"})));
    EXPECT_FALSE(library->lastError());
    EXPECT_TRUE(desktop.calls.isEmpty());
}

TEST_F(HandingOverTest, PasteboardObjectIsTheFileElseThePhotoLibraryPicture)
{
    using Kind = PasteboardObject::Kind;
    const Item here = addItemWithCopies({.id = "HERE"}, {"ON"});
    const Item away = addItemWithCopies({.id = "AWAY", .previewExt = "jpg"}, {"DRIVE"});
    const Item photos = addItemWithCopies({.id = "PHOTOS", .previewExt = "jpg"}, {"PH"});
    const Item bare = addItemWithCopies({.id = "BARE"}, {"PH"});
    EXPECT_EQ(library->pasteboardObject(here), (PasteboardObject{Kind::file, root + "/HERE.file"}));
    EXPECT_FALSE(library->pasteboardObject(away));
    EXPECT_EQ(library->pasteboardObject(photos), (PasteboardObject{Kind::image, *library->previewURL(photos)}));
    EXPECT_FALSE(library->pasteboardObject(bare));
}

TEST_F(HandingOverTest, CopyingWritesTheSelectionsObjectsOrLeavesTheClipboardAlone)
{
    const Item here = addItemWithCopies({.id = "HERE"}, {"ON"});
    const Item away = addItemWithCopies({.id = "AWAY"}, {"DRIVE"});
    const Item photos = addItemWithCopies({.id = "PHOTOS", .previewExt = "jpg"}, {"PH"});
    const Item unreadable = addItemWithCopies({.id = "BROKEN", .previewExt = "jpg"}, {"PH"});
    writePreview(photos);
    library->setItems({photos, away, here, unreadable});

    library->select(away);
    library->copySelection();
    library->setSelectedIDs({"AWAY", "BROKEN"});
    library->copySelection();
    settle();
    EXPECT_TRUE(desktop.calls.isEmpty());

    library->setSelectedIDs({"HERE", "AWAY", "PHOTOS"});
    library->copySelection();
    settle();
    EXPECT_EQ(desktop.calls, QStringList{"copy files " + root + "/HERE.file images 1"});
}

TEST_F(HandingOverTest, SharingHandsOverBestFilesAtTheAnchorOrThePointer)
{
    const Item here = addItemWithCopies({.id = "HERE"}, {"ON"});
    const Item away = addItemWithCopies({.id = "AWAY"}, {"DRIVE"});
    library->setItems({here, away});
    library->setSelectedIDs({"AWAY"});
    library->shareSelection(QStringLiteral("group"));
    EXPECT_TRUE(sharePicker.shown.isEmpty());

    library->setSelectedIDs({"AWAY", "HERE"});
    library->shareSelection(QStringLiteral("group"));
    ShareAnchor shown(*library, QStringLiteral("group"), [] { return std::optional(QRect(40, 50, 10, 10)); });
    library->shareSelection(QStringLiteral("group"));
    ShareAnchor hidden(*library, QStringLiteral("menu"), [] { return std::optional<QRect>(); });
    library->shareSelection(QStringLiteral("menu"));
    EXPECT_EQ(sharePicker.shown, (QStringList{root + "/HERE.file at pointer", root + "/HERE.file at 40,50",
                                              root + "/HERE.file at pointer"}));
}

TEST_F(HandingOverTest, BeginRenameStartsFromTheCopysFileName)
{
    const Item subject = item("I");
    const Location copy{.sourceID = "ON", .relativePath = "trip/day 1/IMG_7.jpg"};
    library->beginRename(subject, copy);
    EXPECT_EQ(library->newName(), QStringLiteral("IMG_7.jpg"));
    ASSERT_TRUE(library->renaming());
    EXPECT_EQ(library->renaming()->location, copy);
}

} // namespace
