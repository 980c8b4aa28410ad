#pragma once

// Where a card import can go: the stored form of a destination decoded, the destination's label
// in the import sheet, and the folder source that covers a destination folder.

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QList>
#include <QString>

#include <optional>

// A stored destination ("folder|PATH" or "album|ID|NAME") decoded. Nothing for any other text, for
// a folder that does not exist, and for a folder on one of `devices` (a card or removable drive is
// never a destination). A new album is never restored. Looks at the disk: never on the GUI thread.
std::optional<ImportTarget> decodeImportTarget(const QString& stored, const QList<Device>& devices);

// Whether `path` is a device's mount point or lies below one.
bool isOnDevice(const QString& path, const QList<Device>& devices);

// The folder source with the longest root that is `path` or holds it; the first of equals.
std::optional<Source> coveringSource(const QString& path, const QList<Source>& sources);

// "Pictures > 2024 > Trip" for a folder below the source named Pictures, the path for a folder in
// no source, and the photo library's name followed by the album's for an album.
QString destinationLabel(const ImportTarget& target, const QList<Source>& sources);
