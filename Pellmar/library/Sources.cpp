#include "Pellmar/Library.h"

QCoro::Task<> Library::reload()
{
    co_return;
}

QCoro::Task<> Library::relinkSources()
{
    co_return;
}

QCoro::Task<> Library::volumesChanged()
{
    co_return;
}

QCoro::Task<> Library::walkNewSources()
{
    co_return;
}

QCoro::Task<> Library::rescanAllFiles()
{
    co_return;
}

QCoro::Task<> Library::addDefaultSources()
{
    co_return;
}

QCoro::Task<> Library::addLaunchSources()
{
    co_return;
}
