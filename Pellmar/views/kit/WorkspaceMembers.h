#pragma once

#include "Pellmar/index/Model.h"

#include <QSet>
#include <QString>

// The member keys without every key that lies inside the node: for a whole source every key of
// that source, its own included; for a folder or a smart group every key strictly below it (the
// node's own key stays, and "Pictures 2" is not inside "Pictures").
QSet<QString> membersOutside(const QSet<QString>& members, const FolderNode& node);
