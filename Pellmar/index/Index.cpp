#include "Pellmar/index/Index.h"

Index::Index(const QString& path, Access access)
    : db_(path)
    , executor_(access == Access::writer ? QStringLiteral("index writer") : QStringLiteral("index reader"))
{
    db_.exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
    if (access == Access::readOnly) {
        db_.exec(QStringLiteral("PRAGMA query_only = 1"));
        // The grid's reads jump about a large file; mapped, its pages come from the system's file
        // cache without a system call each. SQLite lowers the size to the most it maps.
        db_.exec(QStringLiteral("PRAGMA mmap_size = 4294967296"));
    }
}
