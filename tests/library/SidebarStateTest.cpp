#include "OfflineLibrary.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class SidebarStateTest : public ::testing::Test {
protected:
    // The user defaults as a later start reads them from the settings file.
    Defaults storedDefaults()
    {
        offline.defaults.sync();
        return Defaults(offline.dir.filePath(QStringLiteral("Quorvin.conf")));
    }

    // The properties notified since the last call.
    QList<Library::Prop> notified()
    {
        QList<Library::Prop> props;
        for (const QList<QVariant>& change : changes)
            props.append(change.at(0).value<Library::Prop>());
        changes.clear();
        return props;
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    QSignalSpy changes{&library, &Library::changed};
};

FolderNode node(const QString& id, const QString& sourceID, const QString& path, QList<FolderNode> children = {},
                std::optional<SmartFilter> smart = {})
{
    return {id, sourceID, path, path, 0, std::move(children), smart};
}

TEST_F(SidebarStateTest, HiddenSourcesAndSmartGroupsKeepOneEntryEachInHidingOrderAndAreStored)
{
    struct Step {
        const char* id;
        bool hidden;
        QStringList expected;
    };
    const Step steps[] = {
        {"S1", true, {"S1"}},
        {"S2", true, {"S1", "S2"}},
        {"S1", true, {"S2", "S1"}},   // hiding again moves it to the end
        {"S3", false, {"S2", "S1"}},  // showing one that is not hidden changes nothing
        {"S2", false, {"S1"}},
        {"S1", false, {}},
    };
    for (const Step& step : steps) {
        library.setSourceHidden(QString::fromLatin1(step.id), step.hidden);
        EXPECT_EQ(library.hiddenSources(), step.expected) << step.id << ' ' << step.hidden;
        EXPECT_EQ(storedDefaults().stringList(QStringLiteral("hiddenSources")), step.expected) << step.id;
        const QList<Library::Prop> removedThenAdded(step.hidden ? 2 : 1, Library::Prop::hiddenSources);
        EXPECT_EQ(notified(), removedThenAdded) << step.id;
    }

    library.setSmartHidden(SmartFilter::albums, true);
    library.setSmartHidden(SmartFilter::screenshots, true);
    library.setSmartHidden(SmartFilter::recents, false);
    EXPECT_EQ(library.hiddenSmart(), (QStringList{"albums", "screenshots"}));
    EXPECT_EQ(storedDefaults().stringList(QStringLiteral("hiddenSmart")), (QStringList{"albums", "screenshots"}));
}

TEST_F(SidebarStateTest, ImportDefaultIsStoredAsItsIdAndResetRemovesTheKey)
{
    const QString key = QStringLiteral("importDefault");
    library.setImportDefault(ImportTarget::folder(QStringLiteral("/media/card, 2/DCIM")));
    EXPECT_EQ(library.importDefault(), QStringLiteral("folder|/media/card, 2/DCIM"));
    EXPECT_EQ(storedDefaults().string(key), QStringLiteral("folder|/media/card, 2/DCIM"));

    // An album that does not exist yet is no default: the previous one stays.
    library.setImportDefault(ImportTarget::newAlbum(QStringLiteral("Holiday")));
    EXPECT_EQ(library.importDefault(), QStringLiteral("folder|/media/card, 2/DCIM"));

    library.setImportDefault(ImportTarget::album({QStringLiteral("AL1"), QStringLiteral("Summer")}));
    EXPECT_EQ(storedDefaults().string(key), QStringLiteral("album|AL1|Summer"));

    library.setImportDefault(std::nullopt);
    EXPECT_EQ(library.importDefault(), std::nullopt);
    EXPECT_FALSE(storedDefaults().contains(key));
}

TEST_F(SidebarStateTest, NodesAreFoundByKeyLastRootAndLastChildFirst)
{
    const FolderNode smartRow = node("photos/#favorites", "photos", "", {}, SmartFilter::favorites);
    // Two roots with the same key, and in the second two children with the same key.
    library.setTrees({
        node("first", "S1", "", {node("first/a", "S1", "a")}),
        node("second", "S1", "", {node("second/a/x", "S1", "a/x"), node("second/a/x again", "S1", "a/x")}),
        node("photos", "photos", "", {smartRow}),
    });
    const struct {
        const char* key;
        std::optional<QString> id;
    } cases[] = {
        {"S1|", QStringLiteral("second")},
        {"S1|a", QStringLiteral("first/a")},
        {"S1|a/x", QStringLiteral("second/a/x again")},
        {"photos|#favorites", QStringLiteral("photos/#favorites")},
        {"photos|", QStringLiteral("photos")},
        {"S1|b", std::nullopt},
        {"S1", std::nullopt},
    };
    for (const auto& test : cases) {
        const std::optional<FolderNode> found = library.nodeForKey(QString::fromLatin1(test.key));
        EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, test.id) << test.key;
    }
    library.setTrees({});
    EXPECT_EQ(library.nodeForKey(QStringLiteral("S1|")), std::nullopt);
}

TEST_F(SidebarStateTest, HighlightedRowFollowsTheBrowsingState)
{
    const struct {
        std::optional<QString> source;
        QString path;
        std::optional<SmartFilter> smart;
        std::optional<QString> device;
        std::optional<QString> expected;
    } cases[] = {
        {std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt},
        {"S1", {}, std::nullopt, std::nullopt, "S1|"},
        {"S1", "a/b", std::nullopt, std::nullopt, "S1|a/b"},
        {"photos", "Trip", SmartFilter::albums, std::nullopt, "photos|#albums"},
        {"S1", "a/b", std::nullopt, "/media/card", std::nullopt},
    };
    for (const auto& test : cases) {
        library.setSourceFilter(test.source);
        library.setPathFilter(test.path);
        library.setSmartFilter(test.smart);
        library.setSelectedDevice(test.device);
        EXPECT_EQ(library.selectedNodeID(), test.expected) << qPrintable(test.source.value_or("nil") + test.path);
    }
}

TEST_F(SidebarStateTest, TogglingANodeTwiceLeavesTheExpandedSetAsItWas)
{
    library.setExpanded({QStringLiteral("S1/")});
    notified();
    const FolderNode folder = node("S1/a", "S1", "a");
    library.toggleExpanded(folder);
    EXPECT_EQ(library.expanded(), (QSet<QString>{"S1/", "S1/a"}));
    library.toggleExpanded(folder);
    EXPECT_EQ(library.expanded(), QSet<QString>{"S1/"});
    EXPECT_EQ(notified(), QList<Library::Prop>(2, Library::Prop::expanded));
}

} // namespace
