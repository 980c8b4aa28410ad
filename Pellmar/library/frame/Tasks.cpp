#include "Pellmar/library/frame/Tasks.h"

#include "Pellmar/library/frame/AliveGuard.h"

#include <QtGlobal>

#include <exception>

namespace {

int oneShot = 0;
int all = 0;

QCoro::Task<> counted(QCoro::Task<> task, bool longLived)
{
    ++all;
    oneShot += longLived ? 0 : 1;
    try {
        co_await std::move(task);
    } catch (const ContextGone&) {
        // The task's object was destroyed while it waited; the task ended as it should.
    } catch (const std::exception& error) {
        qWarning("a background task ended with an error: %s", error.what());
    }
    oneShot -= longLived ? 0 : 1;
    --all;
}

} // namespace

void Tasks::start(QCoro::Task<> task)
{
    counted(std::move(task), false);
}

void Tasks::startLongLived(QCoro::Task<> task)
{
    counted(std::move(task), true);
}

int Tasks::oneShotRunning()
{
    return oneShot;
}

int Tasks::allRunning()
{
    return all;
}
