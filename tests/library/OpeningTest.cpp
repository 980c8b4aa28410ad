#include "ItemLibraryFixture.h"

#include "Pellmar/platform/Defaults.h"

#include <QCoroTask>
#include <QSignalSpy>

#include <ostream>

namespace {

class OpeningTest : public CopiesFixture {
protected:
    void openInQuorvin(bool on) { offlineLibrary.defaults.set(QStringLiteral("openInQuorvin"), on); }
};

struct RouteCase {
    const char* name;
    MediaKind kind;
    QString preview, proxy;
    QStringList sources;
    bool openInQuorvin = true;
    bool viewer = false;
};

void PrintTo(const RouteCase& c, std::ostream* out) { *out << c.name; }

class OpenRouteTest : public OpeningTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(OpenRouteTest, OpensInTheViewerOrTheDefaultApplication)
{
    const RouteCase& c = GetParam();
    openInQuorvin(c.openInQuorvin);
    const Item subject = addItemWithCopies({.id = "I", .kind = c.kind, .previewExt = c.preview, .proxyExt = c.proxy},
                                           c.sources);
    library->open(subject);
    settle();
    EXPECT_EQ(library->fullscreen(), c.viewer);
    EXPECT_EQ(library->selection().has_value(), c.viewer);
    EXPECT_EQ(desktop.calls, c.viewer ? QStringList() : QStringList{"open " + root + "/I.file"});
}

INSTANTIATE_TEST_SUITE_P(
    Items, OpenRouteTest,
    ::testing::Values(
        RouteCase{"ViewablePhoto", MediaKind::photo, "jpg", "", {"ON"}, true, true},
        RouteCase{"ViewablePhotoWithTheSettingOff", MediaKind::photo, "jpg", "", {"ON"}, false, false},
        RouteCase{"PhotoWithoutPictures", MediaKind::photo, "", "", {"ON"}, true, false},
        RouteCase{"PhotoWithAHeicProxyOnly", MediaKind::photo, "", "heic", {"ON"}, true, true},
        RouteCase{"VideoWithProxy", MediaKind::video, "jpg", "mp4", {"ON"}, true, true},
        RouteCase{"VideoWithoutProxy", MediaKind::video, "jpg", "", {"ON"}, true, false},
        RouteCase{"Audio", MediaKind::audio, "", "none", {"ON"}, true, false},
        RouteCase{"Document", MediaKind::document, "jpg", "", {"ON"}, true, false},
        RouteCase{"OnlyInThePhotoLibraryWithTheSettingOff", MediaKind::photo, "", "", {"PH"}, false, true}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return std::string(info.param.name); });

TEST_F(OpeningTest, AnUnreachableOriginalNamesTheDrivesToPlugIn)
{
    const Item one = addItemWithCopies({.id = "ONE", .filename = "one.pdf"}, {"DRIVE"});
    QCoro::waitFor(library->openOriginal(one, std::nullopt));
    EXPECT_EQ(library->lastError(), QStringLiteral("Plug in DRIVE to open the original of one.pdf."));

    const Item two = addItemWithCopies({.id = "TWO", .filename = "two.jpg"}, {"CARD", "PH", "DRIVE"});
    QCoro::waitFor(library->openOriginal(two, std::nullopt));
    EXPECT_EQ(library->lastError(), QStringLiteral("Plug in DRIVE or CARD to open the original of two.jpg."));
    EXPECT_TRUE(desktop.calls.isEmpty());
}

TEST_F(OpeningTest, OpensTheReachableCopyWithTheChosenApplication)
{
    const Item subject = addItemWithCopies({.id = "I"}, {"DRIVE", "ON"});
    QCoro::waitFor(library->openOriginal(subject, QStringLiteral("org.gnome.Loupe.desktop")));
    EXPECT_EQ(desktop.calls, QStringList{"open " + root + "/I.file with org.gnome.Loupe.desktop"});
    EXPECT_FALSE(library->lastError());
}

TEST_F(OpeningTest, DoubleClickOnADocumentOpensItInItsApplication)
{
    const Item document = addItemWithCopies({.id = "D", .kind = MediaKind::document, .previewExt = "jpg"}, {"ON"});
    library->setItems({document});
    library->click(document, 1, std::nullopt, false, false);
    library->click(document, 2, std::nullopt, false, false);
    settle();
    EXPECT_EQ(desktop.calls, QStringList{"open " + root + "/D.file"});
    EXPECT_FALSE(library->fullscreen());
    EXPECT_EQ(library->selectedIDs(), QSet<QString>{"D"});
}

TEST_F(OpeningTest, ApplicationsAreAskedOncePerKnownExtension)
{
    desktop.apps.insert("image/jpeg", DesktopApps{"viewer.desktop", {"editor.desktop", "viewer.desktop", "b.desktop"}});
    const Item photo = item("P");   // P.jpg
    Item upper = photo;
    upper.filename = QStringLiteral("P.JPG");
    const AppChoices expected{QStringLiteral("viewer.desktop"), {"editor.desktop", "b.desktop"}};
    EXPECT_EQ(library->openWithApps(photo).others, expected.others);
    EXPECT_EQ(library->openWithApps(upper).main, expected.main);
    EXPECT_EQ(desktop.lookups, QStringList{"image/jpeg"});

    Item unknown = photo;
    unknown.filename = QStringLiteral("P.zzqx");
    EXPECT_FALSE(library->openWithApps(unknown).main);
    EXPECT_FALSE(library->appCache.contains(QStringLiteral("zzqx")));
    EXPECT_EQ(desktop.lookups.size(), 1);

    desktop.apps.insert("application/pdf", DesktopApps{std::nullopt, {"a.desktop"}});
    unknown.filename = QStringLiteral("doc.pdf");
    EXPECT_EQ(library->openWithApps(unknown).others, QStringList{"a.desktop"});
}

TEST_F(OpeningTest, QuickLookShowsTheReachableFilesOnly)
{
    const QList<Item> items{addItemWithCopies({.id = "A"}, {"DRIVE"}), addItemWithCopies({.id = "B"}, {"PH", "ON"}),
                            addItemWithCopies({.id = "C"}, {"CARD"})};
    QSignalSpy shown(library.get(), &Library::quickLookShown);
    library->quickLook(items);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(library->quickLookSource.urls, QStringList{root + "/B.file"});
    EXPECT_FALSE(library->lastError());

    library->quickLook({items.first()});
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(library->lastError(), QStringLiteral("Plug in the drive to preview this file."));
}

} // namespace
