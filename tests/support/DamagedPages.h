#pragma once

#include "Pellmar/index/Database.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Overwrites the last leaf page of a table of an SQLite file with garbage, as a failing disk would:
// the first rows of the table still read, a full read of it fails. The file's log must be empty
// (checkpointed) and no connection open on it. False when the page could not be found or written.
inline bool damageLastPageOf(const QString& database, const QString& table)
{
    qint64 page = 0;
    qint64 pageSize = 0;
    {
        Database db(database, Database::Access::readOnly);
        Statement leaf(db.db(), QStringLiteral("SELECT max(pageno) FROM dbstat WHERE name = ? AND pagetype = 'leaf'"));
        leaf.bind({table});
        Statement size(db.db(), QStringLiteral("PRAGMA page_size"));
        size.bind({});
        if (!leaf.step() || !size.step())
            return false;
        page = leaf.int64(0);
        pageSize = size.int64(0);
    }
    QFile file(database);
    return page > 1 && file.open(QIODevice::ReadWrite) && file.seek((page - 1) * pageSize)
        && file.write(QByteArray(pageSize, '\x5a')) == pageSize;
}
