#include "Pellmar/views/details/ItemMenus.h"
#include "Pellmar/platform/Desktop.h"
#include "tests/library/OfflineLibrary.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray entry(const char* name, const char* mimeTypes)
{
    return QByteArray("[Desktop Entry]\nType=Application\nName=") + name + "\nExec=true %f\nIcon=image-viewer\nMimeType="
           + mimeTypes + "\n";
}

// Separators read "-".
QStringList texts(const QMenu& menu)
{
    QStringList all;
    for (const QAction* action : menu.actions())
        all << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return all;
}

} // namespace

// The desktop's applications come from the XDG folders of a temporary home; GIO reads them once per
// process, so they are in place before its first call.
TEST(OpenInMenu, DefaultFirstThenTheOthersByTheirNamesAskedOncePerExtension)
{
    QTemporaryDir xdg;
    const QString data = xdg.filePath(QStringLiteral("data"));
    write(data + QStringLiteral("/applications/alpha.desktop"), entry("Alpha", "image/jpeg;"));
    write(data + QStringLiteral("/applications/bravo.desktop"), entry("Bravo", "image/jpeg;image/png;"));
    write(data + QStringLiteral("/applications/charlie.desktop"), entry("Charlie", "image/jpeg;"));
    write(xdg.filePath(QStringLiteral("config/mimeapps.list")),
          "[Default Applications]\nimage/jpeg=bravo.desktop;\n"
          "[Added Associations]\nimage/jpeg=charlie.desktop;alpha.desktop;bravo.desktop;\n");
    // The MIME database is read from the system's folders before they are hidden from GIO.
    ASSERT_TRUE(QMimeDatabase().mimeTypeForName(QStringLiteral("image/jpeg")).isValid());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", xdg.filePath(QStringLiteral("none")).toUtf8());
    qputenv("XDG_CONFIG_HOME", xdg.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", xdg.filePath(QStringLiteral("none")).toUtf8());

    const DesktopApps apps = systemDesktop()->applications(QStringLiteral("image/jpeg"));
    ASSERT_EQ(apps.preferred, QStringLiteral("bravo.desktop"));
    ASSERT_EQ(apps.others(), QStringList({"charlie.desktop", "alpha.desktop"}));
    EXPECT_EQ(desktopEntry(QStringLiteral("alpha.desktop")), (DesktopEntry{"Alpha", "image-viewer"}));
    EXPECT_FALSE(desktopEntry(QStringLiteral("missing.desktop")));

    OfflineLibrary offline;
    offline.desktop->apps.insert(QStringLiteral("image/jpeg"), apps);
    Item upper;
    upper.filename = QStringLiteral("IMG_0001.JPG");
    QMenu first;
    inspector::fillOpenInMenu(first, *offline.library, upper);
    EXPECT_EQ(texts(first), QStringList({"Bravo", "-", "Charlie", "Alpha"}));

    Item lower;
    lower.filename = QStringLiteral("b.jpg");
    QMenu second;
    inspector::fillOpenInMenu(second, *offline.library, lower);
    EXPECT_EQ(texts(second), texts(first));
    EXPECT_EQ(offline.desktop->lookups, QStringList({"image/jpeg"}));
}

TEST(OpenInMenu, WithoutADefaultNoDivider)
{
    const auto lookup = [](const QString&) { return std::optional<inspector::AppEntryInfo>(); };
    const QList<inspector::OpenInEntry> entries = inspector::openInEntries({std::nullopt, {"gimp.desktop"}}, lookup);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().title, "gimp");
    EXPECT_TRUE(inspector::openInEntries({}, lookup).isEmpty());
}
