#include "Pellmar/index/Hashing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QByteArray littleEndian(qint64 value)
{
    QByteArray bytes;
    for (int i = 0; i < 8; ++i)
        bytes.append(char((quint64(value) >> (8 * i)) & 0xff));
    return bytes;
}

TEST(QuickHash, KnownValuesAndPrefixRules)
{
    QTemporaryDir dir;
    const QString abc = dir.filePath(QStringLiteral("abc"));
    writeFile(abc, "abc");
    EXPECT_EQ(quickHash(abc, 3), QStringLiteral("ce91dc5eec0139adf091900d225971d6ad246a845bad791b5693a9d0d55dd391"));
    EXPECT_EQ(quickHash(QStringLiteral("/nonexistent"), 3, QByteArray("abc")), quickHash(abc, 3));
    // The recorded size is part of the identity.
    EXPECT_NE(quickHash(abc, 4), quickHash(abc, 3));

    const QString empty = dir.filePath(QStringLiteral("empty"));
    writeFile(empty, {});
    EXPECT_EQ(quickHash(empty, 0), sha256Hex(littleEndian(0)));

    // Only the first 64 KiB count, whether read or passed in.
    QByteArray big(quickHashPrefixLength + 100, 'x');
    const QString first = dir.filePath(QStringLiteral("first"));
    writeFile(first, big);
    big[quickHashPrefixLength + 50] = 'y';
    const QString second = dir.filePath(QStringLiteral("second"));
    writeFile(second, big);
    EXPECT_EQ(quickHash(first, big.size()), quickHash(second, big.size()));
    EXPECT_EQ(quickHash(QString(), big.size(), big), quickHash(first, big.size()));

    const QString hash = quickHash(first, 1);
    EXPECT_EQ(hash.size(), 64);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(hash).hasMatch());
}

TEST(QuickHash, UnreadableFileThrowsFileError)
{
    QTemporaryDir dir;
    EXPECT_THROW(quickHash(dir.filePath(QStringLiteral("missing")), 3), FileError);
    EXPECT_THROW(quickHash(dir.path(), 3), FileError); // a folder cannot be read as a file
}

TEST(FolderHash, HashesSortedRelativeNamesAndSizes)
{
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Doc.pages"));
    writeFile(package + QStringLiteral("/a.txt"), "abc");
    EXPECT_EQ(folderHash(package, 9), sha256Hex(littleEndian(9) + "/a.txt|3"));
    EXPECT_EQ(folderHash(package + QStringLiteral("/../Doc.pages/"), 9), folderHash(package, 9));

    // Hidden files count, nested folders count, and order is by name whatever the creation order.
    writeFile(package + QStringLiteral("/z/.hidden"), "12");
    writeFile(package + QStringLiteral("/b.txt"), "");
    EXPECT_EQ(folderHash(package, 9), sha256Hex(littleEndian(9) + "/a.txt|3/b.txt|0/z/.hidden|2"));

    // A symbolic link and what it points to are left out.
    writeFile(dir.filePath(QStringLiteral("outside/big")), "0123456789");
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("outside")), package + QStringLiteral("/link")));
    EXPECT_EQ(folderHash(package, 9), sha256Hex(littleEndian(9) + "/a.txt|3/b.txt|0/z/.hidden|2"));

    EXPECT_EQ(folderHash(dir.filePath(QStringLiteral("missing")), 9), sha256Hex(littleEndian(9)));
    // A file is no folder: nothing lies below it.
    EXPECT_EQ(folderHash(package + QStringLiteral("/a.txt"), 9), sha256Hex(littleEndian(9)));
    EXPECT_NE(folderHash(package, 10), folderHash(package, 9));
}

} // namespace
