#include "Pellmar/library/Library.h"

QCoro::Task<> Library::statusTicker(CancelToken)
{
    co_return;
}
