#include "Pellmar/library/Library.h"

#include "Pellmar/library/engine/ChangeWatcher.h"

void Library::startWatching()
{
    changeWatcher_->startWatching();
}
