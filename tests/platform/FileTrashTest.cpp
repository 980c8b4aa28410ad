#include "Pellmar/platform/FileTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Files in a temporary folder trashed into the home Trash of a temporary data folder (the Trash
// desktop clients list and restore from).
class FileTrashTest : public ::testing::Test {
protected:
    FileTrashTest() { qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data")))); }
    ~FileTrashTest() override { qunsetenv("XDG_DATA_HOME"); }

    QString write(const QString& name)
    {
        const QString path = dir.filePath(QStringLiteral("files/") + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write("content");
        return path;
    }

    QByteArray infoOf(const QString& name)
    {
        QFile info(dir.filePath(QStringLiteral("data/Trash/info/") + name + QStringLiteral(".trashinfo")));
        return info.open(QIODevice::ReadOnly) ? info.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(FileTrashTest, NamesThatNeedEscapingAreTrashedWithARestorablePath)
{
    const struct {
        QString name;
        QByteArray escaped;
    } cases[] = {
        {QStringLiteral("100%25 done.jpg"), "100%2525%20done.jpg"},
        {QStringLiteral("two\nlines.jpg"), "two%0Alines.jpg"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name.toStdString());
        const QString path = write(entry.name);
        EXPECT_EQ(moveFileToTrash(path), std::nullopt);
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("data/Trash/files/") + entry.name)));
        const QList<QByteArray> lines = infoOf(entry.name).split('\n');
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], "[Trash Info]");
        EXPECT_TRUE(lines[1].startsWith("Path=/") && lines[1].endsWith("/files/" + entry.escaped)) << lines[1].toStdString();
    }
}

TEST_F(FileTrashTest, AnEntryTheTrashCannotWriteIsARefusalWithItsReason)
{
    // The info entry's name (the file's name and ".trashinfo") is longer than a name can be.
    const QString longName = QString(246, u'n') + QStringLiteral(".jpg");
    const QString path = write(longName);
    const std::optional<QString> refusal = moveFileToTrash(path);
    ASSERT_TRUE(refusal);
    EXPECT_FALSE(refusal->isEmpty());
    EXPECT_TRUE(QFileInfo::exists(path));

    const std::optional<QString> missing = moveFileToTrash(dir.filePath(QStringLiteral("files/gone.jpg")));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->endsWith(u'.'));
}

} // namespace
