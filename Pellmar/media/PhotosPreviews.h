#pragma once

// Larger previews of the photo library's items, rendered by the library itself: a HEIC proxy of a
// photo at the "proxySize" setting, and a 1280-pixel poster and an MPEG-4 proxy of a video.

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/PhotoLibrary.h"

#include <QString>

#include <functional>

class Index;

// Writes the item's larger files into `previewFolder` and records the outcome on the writer
// `index`: the proxy extension ("heic", "mp4", or "none" when no proxy can be made from what is on
// this computer, and for audio and documents) with the poster extension, or else the item's
// larger-preview error. A photo's existing small preview is redrawn from the same rendering. Never
// throws. When `isCancelled` answers true during a video export, nothing is recorded and the item
// stays waiting. Runs on a worker thread outside the index's executor; blocks for the renderings
// and the export.
void buildPhotosFullPreview(const FullJob& job, Index& index, const QString& previewFolder,
                            const PhotoLibrary& library, const std::function<bool()>& isCancelled = {},
                            const Defaults& defaults = Defaults::standard());
