#include "Pellmar/views/grid/QuickLookWindow.h"
#include "tests/library/ItemLibraryFixture.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class QuickLookWindowTest : public CopiesFixture {
protected:
    static void writePicture(const QString& path, Qt::GlobalColor color, const char* format)
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(path, format));
    }

    // The strongest channel in the middle of the page's picture, once it is decoded; none when it
    // has no picture.
    std::optional<QString> shownColor()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.size() > 0; }, 5000));
        loaded.clear();
        if (window.picture().isNull())
            return std::nullopt;
        const QColor c = window.picture().pixelColor(window.picture().width() / 2, window.picture().height() / 2);
        if (c.red() > c.green() && c.red() > c.blue())
            return QStringLiteral("red");
        return c.green() > c.blue() ? QStringLiteral("green") : QStringLiteral("blue");
    }

    QuickLookWindow window{*library, library->pools()};
    QSignalSpy loaded{&window, &QuickLookWindow::pageLoaded};
};

// Each file shows the largest of its pictures that decodes: the larger preview before the small
// one, else the file itself, else its name. Arrows page without wrapping; Escape and Space close.
TEST_F(QuickLookWindowTest, ShowsTheLargestPictureOfEachFileAndPagesWithTheArrows)
{
    const Item document = addItemWithCopies({.id = "A", .kind = MediaKind::document, .filename = "A.pdf",
                                             .previewExt = "jpg", .proxyExt = "png"}, {"ON"});
    writePicture(library->proxyDirectory() + "/A.png", Qt::red, "PNG");
    writePicture(library->proxyDirectory() + "/A.preview.jpg", Qt::green, "JPG");
    // No preview file exists: the file itself is shown.
    const Item photo = addItemWithCopies({.id = "B", .previewExt = "jpg"}, {"ON"});
    writePicture(root + "/B.file", Qt::blue, "PNG");
    // Nothing decodes.
    const Item other = addItemWithCopies({.id = "C", .kind = MediaKind::document, .filename = "C.txt"}, {"ON"});

    library->quickLook({document, photo, other});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("A.file (1 of 3)"));
    EXPECT_EQ(shownColor(), QStringLiteral("red"));

    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_EQ(window.page(), 1);
    EXPECT_EQ(shownColor(), QStringLiteral("blue"));
    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_EQ(shownColor(), std::nullopt);
    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_EQ(window.page(), 2);
    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_EQ(window.page(), 1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("B.file (2 of 3)"));

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    library->quickLook({photo});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("B.file"));
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
