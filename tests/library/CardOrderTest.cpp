#include "Pellmar/library/engine/CardOrder.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

CardFile card(const QString& name, double modified, MediaKind kind = MediaKind::photo)
{
    return CardFile{QStringLiteral("/media/CARD/DCIM/") + name, 10, modified, kind};
}

QStringList names(const QList<CardFile>& files)
{
    QStringList list;
    for (const CardFile& file : files)
        list.append(file.url.section(u'/', -1));
    return list;
}

TEST(CardOrderTest, SortsByEachFieldAndDescendingReversesTheWholeList)
{
    const QList<CardFile> files{
        card(QStringLiteral("IMG_10.JPG"), 300),
        card(QStringLiteral("clip.MP4"), 100, MediaKind::video),
        card(QStringLiteral("IMG_2.JPG"), 200),
        card(QStringLiteral("img_3.jpg"), 50),
    };
    struct Case {
        SortField sort;
        bool ascending;
        QStringList expected;
    };
    const Case cases[] = {
        {SortField::name, true, {"clip.MP4", "IMG_2.JPG", "img_3.jpg", "IMG_10.JPG"}},
        {SortField::name, false, {"IMG_10.JPG", "img_3.jpg", "IMG_2.JPG", "clip.MP4"}},
        {SortField::kind, true, {"img_3.jpg", "IMG_2.JPG", "IMG_10.JPG", "clip.MP4"}},
        {SortField::kind, false, {"clip.MP4", "IMG_10.JPG", "IMG_2.JPG", "img_3.jpg"}},
        {SortField::captured, true, {"img_3.jpg", "clip.MP4", "IMG_2.JPG", "IMG_10.JPG"}},
        {SortField::modified, true, {"img_3.jpg", "clip.MP4", "IMG_2.JPG", "IMG_10.JPG"}},
        {SortField::added, false, {"IMG_10.JPG", "IMG_2.JPG", "clip.MP4", "img_3.jpg"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(sortedCardFiles(files, c.sort, c.ascending)), c.expected)
            << int(c.sort) << " ascending " << c.ascending;
}

TEST(CardOrderTest, QueryIsTrimmedOfBlanksButNotOfLineBreaksAndIgnoresCase)
{
    const QList<CardFile> files{card(QStringLiteral("IMG_0001.JPG"), 1), card(QStringLiteral("clip.MP4"), 2)};
    struct Case {
        QString query;
        QStringList expected;
    };
    const Case cases[] = {
        {QStringLiteral(" img \t"), {"IMG_0001.JPG"}},
        {QStringLiteral("img\n"), {}},
        {QStringLiteral("  "), {"IMG_0001.JPG", "clip.MP4"}},
        {QStringLiteral("MP4"), {"clip.MP4"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(cardFilesMatching(files, c.query)), c.expected) << c.query.toStdString();
}

} // namespace
