#include "Pellmar/library/Library.h"

QCoro::Task<> Library::reload()
{
    co_return;
}
