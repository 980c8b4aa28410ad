#include "Pellmar/index/RemovedItems.h"

namespace {

bool takesNotes(Database& db)
{
    Statement table(db.db(), QStringLiteral("SELECT 1 FROM temp.sqlite_master WHERE name = 'removed_items'"));
    return table.step();
}

} // namespace

QList<Item> takeRemovedItems(Database& db)
{
    if (!takesNotes(db))
        return {};
    Transaction transaction(db);
    // An item removed and made again under its id (a file read before the removal and written
    // after it) keeps its files.
    Statement rows(db.db(), QStringLiteral("SELECT id, preview_ext, proxy_ext, poster_ext FROM temp.removed_items WHERE id "
                                           "NOT IN (SELECT id FROM main.items)"));
    QList<Item> removed;
    while (rows.step()) {
        Item& item = removed.emplace_back();
        item.id = rows.text(0);
        item.previewExtension = rows.text(1);
        item.proxyExtension = rows.text(2);
        item.posterExtension = rows.text(3);
    }
    rows.reset();
    db.exec(QStringLiteral("DELETE FROM temp.removed_items"));
    transaction.commit();
    return removed;
}

void forgetRemovedItems(Database& db)
{
    if (takesNotes(db))
        db.exec(QStringLiteral("DELETE FROM temp.removed_items"));
}

QStringList unknownItemIDs(Database& db, const QStringList& ids)
{
    Statement known(db.db(), QStringLiteral("SELECT 1 FROM items WHERE id = ?"));
    QStringList unknown;
    for (const QString& id : ids) {
        if (!known.bind({id}).step())
            unknown.append(id);
    }
    return unknown;
}
