#pragma once

#include "Pellmar/index/Index.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

// Rows for addItem and addFile, written with designated initializers; unnamed columns keep the
// defaults below (every member has one, so leaving members out draws no warning).
struct FixtureItem {
    QString id = {};
    MediaKind kind = MediaKind::photo;
    QString filename = id + QStringLiteral(".jpg");
    std::optional<double> capturedAt = {};
    qint64 width = 0;
    qint64 height = 0;
    QString weakID = {};
    double modifiedAt = 0;
    double addedAt = 0;
    double createdAt = 0;
    QString previewExt = {};
    QString proxyExt = {};
    QString posterExt = {};
    QString quickHash = QStringLiteral("hash-") + id;
};

// A file linked to its item, in state ready; an empty `itemID` leaves it unlinked, in state found.
// `state` and `error` override that.
struct FixtureFile {
    QString sourceID = {};
    QString relPath = {};
    QString itemID = {};
    qint64 size = 0;
    double mtime = 0;
    QString assetID = {};
    bool local = true;
    bool favorite = false;
    qint64 subtype = 0;
    bool raw = false;
    std::optional<FileState> state = {};
    std::optional<QString> error = {};
};

// A fresh index at the current schema version in a temporary folder, with small helpers to
// set up rows and read single values back. Tests call Index operations directly on the test's
// thread: each operation is synchronous.
class IndexFixture : public ::testing::Test {
protected:
    IndexFixture() { index.migrate(); }

    void addSource(const QString& sourceID, SourceKind kind = SourceKind::folder, double addedAt = 0)
    {
        db.run(QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, added_at, kind) "
                              "VALUES (?, ?, ?, '', '', ?, ?)"),
               {sourceID, sourceID, QStringLiteral("/") + sourceID, addedAt, rawValue(kind)});
    }

    void addItem(const FixtureItem& item)
    {
        db.run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename, captured_at, width, height, "
                              "preview_ext, proxy_ext, poster_ext, created_at, weak_id, modified_at, added_at) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {item.id, item.quickHash, rawValue(item.kind), item.filename, item.capturedAt, item.width,
                item.height, item.previewExt, item.proxyExt, item.posterExt, item.createdAt, item.weakID,
                item.modifiedAt, item.addedAt});
    }

    void addFile(const FixtureFile& file)
    {
        const bool linked = !file.itemID.isEmpty();
        db.run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, quick_hash, item_id, state, "
                              "asset_id, local, favorite, subtype, raw, error) "
                              "VALUES (?, ?, ?, ?, (SELECT quick_hash FROM items WHERE id = ?), ?, ?, ?, ?, ?, ?, ?, ?)"),
               {file.sourceID, file.relPath, file.size, file.mtime, file.itemID,
                linked ? SqlValue(file.itemID) : SqlValue(),
                rawValue(file.state.value_or(linked ? FileState::ready : FileState::found)), file.assetID, file.local,
                file.favorite, file.subtype, file.raw, file.error});
    }

    void addSearchText(const QString& itemID, const QString& text)
    {
        db.run(QStringLiteral("INSERT INTO search (item_id, text) VALUES (?, ?)"), {itemID, text});
    }

    // The first column of the first row as text or integer; "" or 0 when there is no row.
    QString text(const QString& sql, const SqlValues& values = {})
    {
        Statement row(db.db(), sql);
        row.bind(values);
        return row.step() ? row.text(0) : QString();
    }
    qint64 integer(const QString& sql, const SqlValues& values = {})
    {
        Statement row(db.db(), sql);
        row.bind(values);
        return row.step() ? row.int64(0) : 0;
    }

    QTemporaryDir dir;
    Index index{dir.filePath(QStringLiteral("index.sqlite"))};
    Database& db = index.database();
};
