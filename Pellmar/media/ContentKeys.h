#pragma once

// Which item a hashed file joins. Files with equal quick hashes agree in size and first 64 KiB only:
// a file larger than that joins an item only when the digest of its last 64 KiB equals the item's
// too; otherwise its key is the quick hash followed by its tail digest, an item of its own. The
// tails are read lazily: only once a second file comes with a quick hash that an item holds.

#include "Pellmar/index/Index.h"

#include <QHash>
#include <QString>

#include <optional>

struct ContentKey {
    QString key;
    std::optional<QString> tailHash;   // the file's tail digest, when it was read
    bool tailUnchecked = false;        // no item held the quick hash: the tail was not read
};

// The key of the local regular file at `path`. An item's tail that is not known yet is read from the
// first of its files that lies on an available source of `sources`, and kept through `index` (the
// writer); one that cannot be had leaves the file joining the item as its quick hash says. Items are
// looked up on `lookup`. Throws FileError when the file's own tail cannot be read.
ContentKey contentKeyOf(const QString& path, qint64 size, const QString& quickHash,
                        const QHash<QString, Source>& sources, Index& index, Index& lookup);
