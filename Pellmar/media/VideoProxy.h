#pragma once

// Video proxies: an H.264 and AAC copy of a video in MPEG-4, small enough to play from the
// library's own folder while the original's drive is away.

#include "Pellmar/platform/Defaults.h"

#include <QString>

#include <functional>

// Exports `path` to `output` at the height of the "videoProxy" setting (1080, else 720), fitted
// upright into 1920 x 1080 or 1280 x 720 (turned for portrait) and never enlarged, with the index
// ("moov") before the media data so that playing can start at once. An audio-only file becomes an
// AAC-only proxy. The export is written under a temporary name in the output's folder, flushed to
// the disk and renamed over `output`, so that an older proxy stays until the new one is complete;
// temporaries that a run which died left in that folder are removed first. Throws DatabaseError "not
// a regular file" for a FIFO, a device or a folder, "no export session" when the file cannot be read
// as a video or audio file, "export status 5" when `isCancelled` answers true (checked between packets),
// "export status 4" when the export fails or a file with a video track gives no picture to write,
// and the system's reason when the temporary cannot be written or renamed; after a throw `output` is
// as it was and no temporary is left. Blocks for the whole export.
void makeVideoProxy(const QString& path, const QString& output, const std::function<bool()>& isCancelled = {},
                    const Defaults& defaults = Defaults::standard());
