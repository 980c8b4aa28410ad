#include "Pellmar/library/Library.h"

QCoro::Task<> Library::relinkSources()
{
    co_return;
}

QCoro::Task<> Library::volumesChanged()
{
    co_return;
}
