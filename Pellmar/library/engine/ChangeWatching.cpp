#include "Pellmar/library/Library.h"

void Library::startWatching()
{
}
