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

// Whether a file of this size holds bytes the quick hash does not cover, so that another file
// with the same quick hash may still differ from it.
inline bool outgrowsQuickHash(qint64 size)
{
    return size > quickHashPrefixLength;
}

// SHA-256 over the file's last 64 KiB, as 64 lowercase hexadecimal digits: it tells apart files
// whose size and head agree but whose ends do not. Throws FileError when the file cannot be read.
QString tailHash(const QString& path, qint64 size);

// Whether the two files hold the same bytes, read in full up to the first difference. Throws
// FileError when either cannot be read.
bool sameContent(const QString& first, const QString& second);

// SHA-256 over the file's whole content, as 64 lowercase hexadecimal digits. Throws FileError
// when the file cannot be read.
QString contentHash(const QString& path);

// The identity of a package: SHA-256 over `seed`, then every regular file below `path` as
// "/relative/path|size", sorted. Never fails: unreadable entries are left out.
QString folderHash(const QString& path, qint64 seed);

// The SHA-256 digest of the bytes, as 64 lowercase hexadecimal digits.
QString sha256Text(const QByteArray& bytes);

// Lowercase hexadecimal text of a digest, two digits per byte.
QString hexString(const QByteArray& digest);
