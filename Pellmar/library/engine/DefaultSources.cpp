#include "Pellmar/library/Library.h"

QCoro::Task<> Library::addDefaultSources()
{
    co_return;
}

QCoro::Task<> Library::addLaunchSources()
{
    co_return;
}
