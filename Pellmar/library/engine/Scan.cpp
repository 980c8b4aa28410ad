#include "Pellmar/library/Library.h"

QCoro::Task<> Library::scan(Source)
{
    co_return;
}
