#include "Pellmar/Library.h"

QCoro::Task<> Library::scan(Source)
{
    co_return;
}
