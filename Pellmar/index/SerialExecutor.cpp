#include "Pellmar/index/SerialExecutor.h"

SerialExecutor::SerialExecutor(const QString& name)
{
    pool_.setObjectName(name);
    pool_.setMaxThreadCount(1);
    pool_.setExpiryTimeout(-1);
}

SerialExecutor::~SerialExecutor()
{
    pool_.waitForDone();
}
