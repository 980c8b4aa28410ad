#pragma once

#include "Pellmar/index/Model.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The rules by which a workspace's member set (FolderNode keys) is read and changed node by node.
// The set never holds a key together with a key below it.

// Finds the sidebar node of a key, as Library::nodeForKey does.
using NodeLookup = std::function<std::optional<FolderNode>(const QString& key)>;

// The member keys without every key that lies inside the node: for a whole source every key of
// that source, its own included; for a folder or a smart group every key strictly below it (the
// node's own key stays, and "Pictures 2" is not inside "Pictures").
QSet<QString> membersOutside(const QSet<QString>& members, const FolderNode& node);

// The keys of the whole source and of every folder above the node, the source first, then from the
// nearest parent upwards; empty for a source's root.
QStringList ancestorKeys(const FolderNode& node);

// The children a member tree shows under a node: folders as they are, the albums group replaced
// by its albums, every other smart group left out.
QList<FolderNode> memberChildren(const FolderNode& node);

enum class MemberState { off, mixed, on };

// On when the node or a folder above it is a member, mixed when something below it is.
MemberState memberState(const FolderNode& node, const QSet<QString>& members);

// The member set after a click on the node: a member leaves; a node inside a member folder is
// taken out of it, whose other children stay members; any other node becomes a member in place
// of what it holds.
QSet<QString> toggleMember(const FolderNode& node, const QSet<QString>& members, const NodeLookup& nodeForKey);
