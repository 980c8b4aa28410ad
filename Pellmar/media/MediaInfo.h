#pragma once

// Reading a media file's own metadata (capture date, displayed pixel size, duration, camera, lens)
// without decoding pixels, and the small toolkit for reading the head of a media file that the
// preview renderers share.

#include "Pellmar/index/Model.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>

class QFile;

// The photo's metadata, from `head` when given (the first bytes of the file), else from the file.
// Never fails: what cannot be read keeps the empty value, and a bad metadata block loses only what
// follows it. Width and height are the image decoder's (exiv2's for RAW files and formats no decoder
// reads), as displayed, with the orientation applied. Dates without a zone are taken in the local
// time zone.
MediaInfo readImageMetadata(const QString& path, const std::optional<QByteArray>& head = std::nullopt);

// Duration, shown size of the first video track (pixel aspect and turn applied), creation date
// (none before 1980, the time of a clock never set) and make/model of a video or audio file. Never fails: returns what was read before the first failing step. Blocks on the
// file, so callers run it off the GUI thread.
MediaInfo readVideoMetadata(const QString& path);

// How many bytes of a photo's head the callers read to find its embedded preview, by extension.
qint64 headByteBudget(const QString& path);

// Exactly `count` bytes at `offset` of the open `file`, or nothing on a failed seek or read or when
// the file ends first. Moves the file's position.
std::optional<QByteArray> readFileBytes(qint64 offset, qint64 count, QFile& file);

// Integers of `bytes` at `offset`, little-endian when `littleEndian`; nothing when the value would
// reach past `limit` (the caller keeps 0 <= offset and limit <= bytes.size()).
std::optional<quint16> readUInt16(qint64 offset, qint64 limit, bool littleEndian, const QByteArray& bytes);
std::optional<quint32> readUInt32(qint64 offset, qint64 limit, bool littleEndian, const QByteArray& bytes);

// `width` bytes at `offset` as one unsigned value; the caller keeps the range inside `bytes`.
quint64 readUnsigned(const QByteArray& bytes, qint64 offset, int width, bool littleEndian);

bool hasBytePrefix(const QByteArray& prefix, const QByteArray& bytes);

// An EXIF/TIFF date text "yyyy:MM:dd HH:mm:ss" in the local time zone, as seconds since 1970;
// nothing for a text of another form.
std::optional<double> parseExifDate(const QString& text);

// Extensions of image formats that carry no embedded preview worth looking for.
const QSet<QString>& flatImageExtensions();
