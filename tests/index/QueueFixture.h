#pragma once

#include "IndexFixture.h"

#include "Pellmar/index/Index.h"

#include <QList>
#include <QString>

// An index with two folder sources, "A" and "B", for the tests of the work queues and item writes.

inline Item newItem(const QString& id, const QString& hash, MediaKind kind = MediaKind::photo)
{
    Item item;
    item.id = id;
    item.quickHash = hash;
    item.kind = kind;
    item.filename = id + QStringLiteral(".jpg");
    return item;
}

inline FileRecord onDisk(const QString& path, double modified = 1000, qint64 size = 100)
{
    FileRecord file;
    file.relativePath = path;
    file.size = size;
    file.modified = modified;
    file.local = true;
    return file;
}

inline QList<qint64> fileIDs(const QList<Job>& jobs)
{
    QList<qint64> ids;
    for (const Job& job : jobs)
        ids.append(job.fileID);
    return ids;
}

class QueueTest : public IndexFixture {
protected:
    QueueTest()
    {
        addSource(QStringLiteral("A"));
        addSource(QStringLiteral("B"));
    }

    qint64 fileID(const QString& relPath)
    {
        return integer(QStringLiteral("SELECT id FROM files WHERE rel_path = ?"), {relPath});
    }
    QString itemOf(const QString& relPath)
    {
        return text(QStringLiteral("SELECT item_id FROM files WHERE rel_path = ?"), {relPath});
    }
    qint64 count(const QString& table) { return integer(QStringLiteral("SELECT COUNT(*) FROM ") + table); }
    QString itemText(const QString& column, const QString& itemID)
    {
        return text(QStringLiteral("SELECT %1 FROM items WHERE id = ?").arg(column), {itemID});
    }
};
