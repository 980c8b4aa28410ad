#pragma once

// Quick indexing of the photo library's assets. An asset cannot be opened by path, so its file row
// (whose asset id names it) is indexed here instead of by the folder-file path: the head of the
// asset's file read through the library gives its content key, the library's own rendering gives
// its small preview or poster.

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/PhotoLibrary.h"

#include <QString>

class Index;

// Longest side of the library's rendering that an asset's small preview or poster is made from.
inline constexpr int photosPreviewSide = 640;

// The asset with this local identifier; throws DatabaseError "no longer in the Photos library"
// when the library no longer holds it.
PhotoAsset fetchPhotosAsset(const PhotoLibrary& library, const QString& assetID);

// Hashes the job's asset (or, when its file is not on this computer, keys it "unhashed:" and the
// asset id), finds or creates its item, writes a small preview (a poster for a video) when the
// item has neither yet, its search text, and marks the file ready. An empty file is marked empty
// ("empty file"); a failure marks the file failed with the error's text, except while the library's
// own store fails to read, which leaves the file pending; nothing is thrown.
// Runs on a worker thread, outside the index's executor, and waits for each operation on the
// writer `index` in turn; the library's requests block that worker thread only.
void identifyPhotosFile(const Job& job, const Source& source, Index& index, const QString& previewFolder,
                        const PhotoLibrary& library);
