#pragma once

#include "Pellmar/library/engine/WorkerControl.h"

#include <memory>

struct FullRenderers;

// The body of the larger-preview worker. While IdleMonitor allows it (or the user asked for the
// previews now) it takes the waiting items of the sources that can be read now in batches of 4,
// smallest file first, and renders each batch two items at a time on background threads; otherwise
// it waits, asking again every 5 s and within 0.25 s of the user's request. It ends when nothing
// is left (after giving the photo proxies written before proxies had a tile image theirs, 8 to a
// background job, while it may still run), when the queue cannot be read, when the index takes
// neither the results nor the failures of a batch (the reason then goes to lastError), or once
// cancelled, after the renders under way have ended. Its state is published in fullWaiting and
// fullInFlight; WorkerControl does the rest.
WorkerControl::Body fullPreviewWorker(std::shared_ptr<const FullRenderers> renderers);
