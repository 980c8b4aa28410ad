#pragma once

#include "Pellmar/library/engine/WorkerControl.h"

// The quick-index worker: indexes the files that scans and change passes left waiting (found or
// identified), 24 rows at a time and 8 files at once, on the sources of its snapshot that are
// available when each batch is fetched, until none is left, the only ones left keep failing to be
// recorded, or it is cancelled. The ends of a batch's files are written together, in one
// transaction per batch or per 150 ms, while the next batch is read (its items are looked up on
// the reading connection `inputs.lookup`, so that the reads never wait for the writer's commit).
// A cancelled run lets the files under way finish, writes them, and leaves the others of the batch
// waiting. Runs its loop on a utility thread of its own.
QCoro::Task<> quickIndexWorker(WorkerInputs inputs, CancelToken token);
