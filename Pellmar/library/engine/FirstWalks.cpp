#include "Pellmar/library/Library.h"

QCoro::Task<> Library::walkNewSources()
{
    co_return;
}

QCoro::Task<> Library::rescanAllFiles()
{
    co_return;
}
