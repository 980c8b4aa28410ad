#pragma once

#include "Pellmar/library/frame/TaskPools.h"

#include <QFuture>

#include <memory>

class Watcher;

// Stops a watcher and drops the caller's reference to it on a pool thread, and returns at once:
// stop() joins the watcher's thread, which may still be setting up its watches on a slow or
// failing drive, and the GUI thread never waits for that. The caller hands over its reference
// (removes it from its table first), so that the watcher is destroyed off the GUI thread too.
// The future ends once the watcher has stopped.
QFuture<void> stopOffGuiThread(TaskPools& pools, std::shared_ptr<Watcher> watcher);
