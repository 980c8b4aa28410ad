#include "Pellmar/index/Index.h"

#include <sqlite3.h>

Index::Index(const QString& path, Access access)
    : db_(path)
    , access_(access)
    , executor_(access == Access::writer ? QStringLiteral("index writer") : QStringLiteral("index reader"))
{
    db_.exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
    if (access == Access::readOnly) {
        db_.exec(QStringLiteral("PRAGMA query_only = 1"));
        // The grid's reads jump about a large file; mapped, its pages come from the system's file
        // cache without a system call each. SQLite lowers the size to the most it maps.
        db_.exec(QStringLiteral("PRAGMA mmap_size = 4294967296"));
    } else {
        // Each indexed file touches a dozen B-trees (the file row's indexes, the item's, the
        // full-text table, the kept counts): with a large index their inner pages must stay in
        // memory, or every write reads them back from the file.
        db_.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    }
}

void Index::setHealth(std::shared_ptr<IndexHealth> health)
{
    health_ = std::move(health);
}

void Index::refuseWhenDamaged() const
{
    if (access_ != Access::writer || !health_)
        return;
    if (const std::optional<QString> damage = health_->damage())
        throw DatabaseError(*damage, SQLITE_CORRUPT);
}

void Index::noteWhenDamage(const DatabaseError& error) const
{
    if (health_ && error.isDamage())
        health_->noteDamage(error.description());
}
