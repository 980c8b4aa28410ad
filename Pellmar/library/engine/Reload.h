#pragma once

#include "Pellmar/index/Model.h"

// The background worker a reload starts: quick indexing while files wait for it, else larger
// previews while items wait for them and the user has not paused them, else none.
enum class ReloadWorker { quickIndex, fullPreviews, none };

ReloadWorker workerAfterReload(const QueueStatus& status, const FullStatus& fullStatus, bool fullPaused);
