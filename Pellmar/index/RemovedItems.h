#pragma once

// What "Proxies" holds files for: the items the writer removed, and which ids the index knows.
// Run inside a job of the Index whose connection is passed.

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Model.h"

#include <QList>
#include <QStringList>

// The items the writer removed since the last call (it notes them once migrated) that no item
// row holds now, each with its id and picture extensions, so that their files can go; forgets
// every note. Nothing on a connection that takes no notes.
QList<Item> takeRemovedItems(Database& db);
// Forgets the notes, for a caller that deletes the files itself.
void forgetRemovedItems(Database& db);

// The ids of the list that no item has.
QStringList unknownItemIDs(Database& db, const QStringList& ids);
