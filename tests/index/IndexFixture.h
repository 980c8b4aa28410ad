#pragma once

#include "Pellmar/index/Index.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A fresh index at the current schema version in a temporary folder, with small helpers to
// set up rows and read single values back. Tests call Index operations directly on the test's
// thread: each operation is synchronous.
class IndexFixture : public ::testing::Test {
protected:
    IndexFixture() { index.migrate(); }

    void addSource(const QString& sourceID, SourceKind kind = SourceKind::folder)
    {
        db.run(QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, added_at, kind) "
                              "VALUES (?, ?, ?, '', '', 0, ?)"),
               {sourceID, sourceID, QStringLiteral("/") + sourceID, rawValue(kind)});
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
