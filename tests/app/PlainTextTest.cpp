#include "Pellmar/app/Application.h"
#include "Pellmar/app/MainWindow.h"
#include "tests/app/FakeUpdater.h"
#include "tests/library/OfflineLibrary.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Markup as a camera, a file name, a volume label or a feed could carry it. Shown as markup it
// would spoof a tooltip, give a live link and make the GUI thread load an image.
const QString markup = QStringLiteral("<h1>Spoof</h1><a href=\"https://x.example\">link</a><img src=\"/nonexistent.png\">");

struct Walk {
    QStringList readAsMarkup;   // the widgets that would read the text as markup
    int shown = 0;              // the labels and tooltips that show it as written
};

// Every label and tooltip of the program's open windows that holds the text.
Walk walkWidgets()
{
    Walk walk;
    const QString escaped = Qt::convertFromPlainText(markup).mid(3).chopped(4);   // without <p> and </p>
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets.prepend(top);
        for (QWidget* widget : widgets) {
            const QString name = QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
            if (const auto* label = qobject_cast<QLabel*>(widget); label && label->text().contains(markup)) {
                if (label->textFormat() == Qt::PlainText)
                    ++walk.shown;
                else
                    walk.readAsMarkup.append(name + QStringLiteral(" text"));
            }
            if (widget->toolTip().contains(markup))
                walk.readAsMarkup.append(name + QStringLiteral(" tooltip"));
            else if (widget->toolTip().contains(escaped))
                ++walk.shown;
            if (const auto* label = qobject_cast<QLabel*>(widget); label && label->text().contains(escaped))
                ++walk.shown;
        }
    }
    return walk;
}

Item hostileItem()
{
    Item item;
    item.id = QStringLiteral("ITEM");
    item.kind = MediaKind::photo;
    item.filename = markup + QStringLiteral(".jpg");
    item.camera = markup;
    item.lens = markup;
    item.width = 640;
    item.height = 480;
    return item;
}

} // namespace

// Text that comes from files, names, labels and feeds is shown as written wherever it shows.
TEST(PlainTextTest, TextFromFilesNamesLabelsAndFeedsIsNeverReadAsMarkup)
{
    struct Case {
        const char* what;
        std::function<void(Library&, Application&)> show;
    };
    const Case cases[] = {
        {"a photo's camera, lens, file name and drive name in the inspector",
         [](Library& library, Application&) {
             const Item item = hostileItem();
             Location copy;
             copy.id = 1;
             copy.sourceID = QStringLiteral("S1");
             copy.sourceName = markup;
             copy.relativePath = markup + QStringLiteral("/photo.jpg");
             copy.size = 1000;
             copy.local = true;
             library.setSelectedIDs({item.id});
             library.setLocations({copy});
             library.setSelection(item);
         }},
        {"a card's volume label",
         [](Library& library, Application&) {
             Device card;
             card.url = QStringLiteral("/media/me/CARD");
             card.name = markup;
             library.setDevices({card});
             library.setSelectedDevice(card.url);
         }},
        {"the answer of an update feed",
         [](Library&, Application& application) {
             Q_EMIT application.updater().checked(QStringLiteral("A new version is available"), markup);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OfflineLibrary offline;
        FakeUpdater updater;
        Application application(*offline.library, updater);
        MainWindow* window = application.openWindow();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        c.show(*offline.library, application);
        QCoreApplication::processEvents();

        const Walk walk = walkWidgets();
        EXPECT_EQ(walk.readAsMarkup, QStringList());
        EXPECT_GT(walk.shown, 0);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != window)
                top->close();
        }
    }
}
