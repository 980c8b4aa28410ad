#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/settings/PreviewSettings.h"
#include "Pellmar/views/settings/SettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(SettingsFormRules, StoredValueSelectsItsOptionWhateverTypeTheFileGaveIt)
{
    const QList<SettingOption> sizes = PreviewSettings::proxySizeOptions();
    const QList<SettingOption> modes = PreviewSettings::fullPreviewOptions();
    const QList<SettingOption> yesNo{{QStringLiteral("Yes"), true}, {QStringLiteral("No"), false}};
    const struct {
        QVariant stored;
        const QList<SettingOption>& options;
        int index;
    } cases[] = {
        {2048, sizes, 1},
        {QStringLiteral("4096"), sizes, 2},      // as read back from the settings file
        {qint64(1024), sizes, 0},
        {3000, sizes, -1},                       // written by hand
        {QStringLiteral("2048px"), sizes, -1},
        {QVariant(), sizes, -1},
        {QStringLiteral("never"), modes, 2},
        {QStringLiteral("Never"), modes, -1},
        {QStringLiteral("false"), yesNo, 1},
        {true, yesNo, 0},
        {QStringLiteral("maybe"), yesNo, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(optionIndex(c.stored, c.options), c.index) << c.stored.toString().toStdString();
}

class SettingsFormTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    QWidget page;
};

TEST_F(SettingsFormTest, AValueOutsideTheOptionsShowsNoSelectionAndStaysUntilTheUserPicks)
{
    defaults.registerDefaults({{QStringLiteral("proxySize"), 2048}});
    defaults.set(QStringLiteral("proxySize"), 3000);
    QComboBox* picker = boundPicker(defaults, QStringLiteral("proxySize"), PreviewSettings::proxySizeOptions(), &page);
    EXPECT_EQ(picker->currentIndex(), -1);
    EXPECT_EQ(defaults.integer(QStringLiteral("proxySize")), 3000);

    // The user picks 4096 with the keyboard.
    page.show();
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_End);
    EXPECT_EQ(picker->currentIndex(), 2);
    EXPECT_EQ(defaults.integer(QStringLiteral("proxySize")), 4096);
}

TEST_F(SettingsFormTest, ControlsFollowAChangeMadeElsewhereWithoutWritingIt)
{
    defaults.registerDefaults({{QStringLiteral("fullPreviews"), QStringLiteral("idle")}, {QStringLiteral("notOnBattery"), true}});
    QComboBox* picker = boundPicker(defaults, QStringLiteral("fullPreviews"), PreviewSettings::fullPreviewOptions(), &page);
    QCheckBox* toggle = boundToggle(defaults, QStringLiteral("notOnBattery"), QStringLiteral("Not on battery"), &page);
    ASSERT_EQ(picker->currentIndex(), 0);
    ASSERT_TRUE(toggle->isChecked());

    defaults.set(QStringLiteral("fullPreviews"), QStringLiteral("never"));
    defaults.set(QStringLiteral("notOnBattery"), false);
    EXPECT_EQ(picker->currentIndex(), 2);
    EXPECT_FALSE(toggle->isChecked());

    // Showing the registered value again after a removal does not store it.
    defaults.remove(QStringLiteral("fullPreviews"));
    EXPECT_EQ(picker->currentIndex(), 0);
    defaults.sync();
    EXPECT_FALSE(Defaults(dir.filePath(QStringLiteral("Quorvin.conf"))).contains(QStringLiteral("fullPreviews")));

    toggle->click();
    EXPECT_TRUE(defaults.boolean(QStringLiteral("notOnBattery")));
}

} // namespace
