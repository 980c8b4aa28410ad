#pragma once

// Writing the photo library: a new album, card files imported as new assets (copies; the card
// files stay in place), and the favorite flag of assets. Each operation is one change of the
// library, applied whole or not at all. The futures fail with a DatabaseError carrying one of the
// messages below, or with the library's own PhotoLibraryError, unchanged. Access is not tested here.

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/PhotoLibrary.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The new album's local identifier; "Apple Photos did not create the album." when the library
// gave none.
QFuture<QString> createPhotosAlbum(PhotoLibrary& library, const QString& title);

// One new asset per file, in order (a video resource for a video, a photo resource otherwise,
// named as the file is), added to the album when one is given and it can still take assets;
// otherwise the assets are only added to the library. The new assets' identifiers, in the order
// of the files.
QFuture<QStringList> addFilesToPhotos(PhotoLibrary& library, const QList<CardFile>& files,
                                      const std::optional<QString>& albumID);

// Whether the asset's original in the library holds exactly the card file's contents, the card
// file read past the page cache. Any difference, missing asset or read error gives false. Blocks.
bool photosOriginalMatches(const PhotoLibrary& library, const QString& assetID, const CardFile& file);

// Sets the flag of the assets that are still in the library; "The photo is no longer in the
// library." and no change when none is.
QFuture<void> setPhotosFavorite(PhotoLibrary& library, const QStringList& assetIDs, bool favorite);
