#include "Pellmar/index/Index.h"

#include "Pellmar/index/Log.h"

#include <QStringList>

#include <sqlite3.h>

namespace {

// What a new index takes over from a damaged one: what the user set up, not what a walk finds again.
constexpr const char* keptTables[] = {"sources", "workspaces", "workspace_sources", "pins", "favorites", "mount_points"};

QStringList columnsOf(Database& db, const QString& table)
{
    QStringList columns;
    Statement info(db.db(), QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    info.bind({table});
    while (info.step())
        columns.append(info.text(0));
    return columns;
}

} // namespace

void Index::takeOverFrom(const QString& path)
{
    Database damaged(path, Database::Access::readOnly);
    for (const char* name : keptTables) {
        const QString table = QString::fromLatin1(name);
        try {
            // The columns both files have, so that a file of an older layout gives what it has.
            const QStringList here = columnsOf(db_, table);
            QStringList shared;
            for (const QString& column : columnsOf(damaged, table))
                if (here.contains(column))
                    shared.append(column);
            if (shared.isEmpty())
                continue;
            const QString list = shared.join(QStringLiteral(", "));
            Statement read(damaged.db(), QStringLiteral("SELECT %1 FROM %2").arg(list, table));
            read.bind({});
            QStringList marks;
            for (qsizetype i = 0; i < shared.size(); ++i)
                marks.append(QStringLiteral("?"));
            Statement write(db_.db(), QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                          .arg(table, list, marks.join(QStringLiteral(", "))));
            // One transaction per table: a table that fails to read part way gives nothing.
            Transaction transaction(db_);
            qint64 rows = 0;
            while (read.step()) {
                sqlite3_reset(write.handle());
                for (int i = 0; i < int(shared.size()); ++i)
                    sqlite3_bind_value(write.handle(), i + 1, sqlite3_column_value(read.handle(), i));
                write.step();
                ++rows;
            }
            transaction.commit();
            qCInfo(logIndex, "took %lld rows of %s over from the damaged index", static_cast<long long>(rows), name);
        } catch (const DatabaseError& error) {
            qCWarning(logIndex, "the damaged index's %s could not be taken over: %s", name, qUtf8Printable(error.description()));
        }
    }
}
