#include "Pellmar/index/IndexRows.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ItemRow, ColumnListIsTheFourteenItemColumnsInOrder)
{
    EXPECT_EQ(itemColumns(), QStringLiteral("id, quick_hash, kind, filename, captured_at, width, height, duration, "
                                            "camera, lens, preview_ext, proxy_ext, poster_ext, uti"));
}

TEST(ItemRow, ReadsEveryColumnWithUnknownKindAsPhotoAndNullDateAsNone)
{
    QTemporaryDir dir;
    Database db(dir.filePath(QStringLiteral("rows.sqlite")));
    db.exec(QStringLiteral("CREATE TABLE items (id, quick_hash, kind, filename, captured_at, width, height, "
                           "duration, camera, lens, preview_ext, proxy_ext, poster_ext, uti)"));
    db.run(QStringLiteral("INSERT INTO items VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {"A", "h1", qint64(1), "clip.mov", 1700000000.5, qint64(1920), qint64(1080), 12.25, "Cam", "Lens",
            "jpg", "mp4", "jpg", "video/quicktime"});
    db.run(QStringLiteral("INSERT INTO items VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {"B", "h2", qint64(7), "x.bin", nullptr, qint64(0), qint64(0), 0.0, "", "", "", "", "", ""});

    Statement rows(db.db(), QStringLiteral("SELECT ") + itemColumns() + QStringLiteral(" FROM items ORDER BY id"));
    ASSERT_TRUE(rows.step());
    const Item video{QStringLiteral("A"), QStringLiteral("h1"), MediaKind::video, QStringLiteral("clip.mov"),
                     1700000000.5, 1920, 1080, 12.25, QStringLiteral("Cam"), QStringLiteral("Lens"),
                     QStringLiteral("jpg"), QStringLiteral("mp4"), QStringLiteral("jpg"),
                     QStringLiteral("video/quicktime")};
    EXPECT_EQ(itemFromRow(rows), video);
    ASSERT_TRUE(rows.step());
    const Item unknown = itemFromRow(rows);
    EXPECT_EQ(unknown.kind, MediaKind::photo);
    EXPECT_EQ(unknown.capturedAt, std::nullopt);
}

} // namespace
