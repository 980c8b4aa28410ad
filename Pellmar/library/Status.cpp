#include "Pellmar/Library.h"

QCoro::Task<> Library::statusTicker(CancelToken)
{
    co_return;
}
