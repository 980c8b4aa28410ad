#pragma once

#include "Pellmar/library/Library.h"

#include <QHash>
#include <QString>

#include <optional>

// The titles and messages of the main window's confirmations, from the values they confirm.
// A title computed while its value is gone shows an empty name.
namespace DialogTexts {

// The folder of a copy in a message: the parent of `relativePath`, or "its top folder".
QString folderPhrase(const QString& relativePath);

QString deleteWorkspaceTitle(const std::optional<Workspace>& workspace);
QString deleteWorkspaceMessage();

QString trashGroupTitle(qsizetype count);
// `selectedCount` items are selected, of which `groupCount` have a copy that can be moved.
QString trashGroupMessage(qsizetype selectedCount, qsizetype groupCount);

QString stopIndexingTitle(const std::optional<Source>& source);
QString stopIndexingMessage();

QString indexDamageTitle();

QString renameTitle();
QString renameMessage(const Location& location);

QString trashCopyTitle(const std::optional<ItemCopy>& copy);
// `copies`: the number of copies of each item by id; an item without an entry has one.
QString trashCopyMessage(const ItemCopy& copy, const QHash<QString, qint64>& copies);

} // namespace DialogTexts
