#include "Pellmar/platform/Defaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Quorvin.conf"));
};

TEST_F(DefaultsTest, RegisteredValueAnswersOnlyWhileNothingIsStoredAndIsNeverWritten)
{
    {
        Defaults defaults(file);
        defaults.registerDefaults({{QStringLiteral("proxySize"), 2048}, {QStringLiteral("fullPreviews"), QStringLiteral("idle")}});
        EXPECT_EQ(defaults.integer(QStringLiteral("proxySize")), 2048);

        defaults.set(QStringLiteral("fullPreviews"), QStringLiteral("never"));
        defaults.registerDefaults({{QStringLiteral("fullPreviews"), QStringLiteral("always")}});
        EXPECT_EQ(defaults.string(QStringLiteral("fullPreviews")), QStringLiteral("never"));

        defaults.remove(QStringLiteral("fullPreviews"));
        EXPECT_EQ(defaults.string(QStringLiteral("fullPreviews")), QStringLiteral("always"));
        defaults.set(QStringLiteral("sort"), QStringLiteral("name"));
    }
    Defaults reopened(file);
    EXPECT_FALSE(reopened.contains(QStringLiteral("proxySize")));
    EXPECT_FALSE(reopened.contains(QStringLiteral("fullPreviews")));
    EXPECT_EQ(reopened.string(QStringLiteral("sort")), QStringLiteral("name"));
}

TEST_F(DefaultsTest, StoredValuesReadBackWithTheirTypeAfterReopening)
{
    const QStringList one{QStringLiteral("A")};
    const QStringList two{QStringLiteral("A"), QStringLiteral("B, C")};
    {
        Defaults defaults(file);
        defaults.set(QStringLiteral("ascending"), true);
        defaults.set(QStringLiteral("notOnBattery"), false);
        defaults.set(QStringLiteral("videoProxy"), 720);
        defaults.set(QStringLiteral("hiddenSources"), two);
        defaults.set(QStringLiteral("hiddenSmart"), one);
        defaults.set(QStringLiteral("emptyList"), QStringList());
    }
    Defaults defaults(file);
    EXPECT_TRUE(defaults.boolean(QStringLiteral("ascending")));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("notOnBattery")));
    EXPECT_TRUE(defaults.contains(QStringLiteral("notOnBattery")));
    EXPECT_EQ(defaults.integer(QStringLiteral("videoProxy")), 720);
    EXPECT_EQ(defaults.stringList(QStringLiteral("hiddenSources")), two);
    EXPECT_EQ(defaults.stringList(QStringLiteral("hiddenSmart")), one);
    EXPECT_TRUE(defaults.stringList(QStringLiteral("emptyList")).isEmpty());
}

TEST_F(DefaultsTest, AnnouncesEachChangeOfAValueAndNothingElse)
{
    Defaults defaults(file);
    QStringList announced;
    QObject::connect(&defaults, &Defaults::changed, [&](const QString& key) { announced.append(key); });

    defaults.registerDefaults({{QStringLiteral("proxySize"), 2048}});
    defaults.set(QStringLiteral("proxySize"), 4096);
    defaults.set(QStringLiteral("proxySize"), 4096);   // the same value again
    defaults.registerDefaults({{QStringLiteral("proxySize"), 1024}});   // hidden by the stored value
    defaults.remove(QStringLiteral("proxySize"));       // back to the registered 1024
    defaults.remove(QStringLiteral("confirmTrash"));    // never stored
    EXPECT_EQ(announced, QStringList(3, QStringLiteral("proxySize")));
}

TEST_F(DefaultsTest, MissingValuesReadAsNothing)
{
    Defaults defaults(file);
    EXPECT_EQ(defaults.string(QStringLiteral("workspace")), std::nullopt);
    EXPECT_FALSE(defaults.boolean(QStringLiteral("photosSmartGroups")));
    EXPECT_EQ(defaults.integer(QStringLiteral("proxySize")), 0);
    EXPECT_TRUE(defaults.stringList(QStringLiteral("hiddenSources")).isEmpty());
}

} // namespace
