#pragma once

#include "Pellmar/index/RegularFiles.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Bytes of the start of a file that the quick hash covers.
inline constexpr qint64 quickHashPrefixLength = 65536;

// The content identity of a file: SHA-256 over `size` as 8 little-endian bytes, then the file's
// first 64 KiB. A caller that already holds the head of the file passes it as `prefix` (at least
// the first 64 KiB, or the whole file when shorter) and the file is not touched. Throws FileError
// when the file cannot be read or is not a regular file.
QString quickHash(const QString& path, qint64 size, const std::optional<QByteArray>& prefix = std::nullopt);

// The identity of a package: SHA-256 over `seed`, then every regular file below `path` as
// "/relative/path|size", sorted. Never fails: unreadable entries are left out.
QString folderHash(const QString& path, qint64 seed);

// The SHA-256 digest of the bytes, as 64 lowercase hexadecimal digits.
QString sha256Text(const QByteArray& bytes);

// Lowercase hexadecimal text of a digest, two digits per byte.
QString hexString(const QByteArray& digest);
