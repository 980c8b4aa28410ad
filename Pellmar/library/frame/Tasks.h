#pragma once

#include <QCoroTask>

// Coroutines that nobody awaits (the "unkept" tasks) run to their end on their own. They are
// started here so that they are counted: tests wait until no one-shot task runs any more, and,
// after destroying a Library, until its long-lived tasks have wound down too.
// GUI thread only. An exception that escapes such a task is logged as a warning, except ContextGone
// (AliveGuard.h), the quiet end of a task whose object was destroyed.
namespace Tasks {

void start(QCoro::Task<> task);
// A task that runs until it is cancelled through its TaskHandle (a ticker, a poller, a worker).
void startLongLived(QCoro::Task<> task);

int oneShotRunning();
int allRunning();

} // namespace Tasks
