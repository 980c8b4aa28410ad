#include "Pellmar/library/frame/TaskPools.h"

#include <algorithm>
#include <limits>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// From linux/ioprio.h, which not every system installs.
constexpr int ioprioWhoProcess = 1;
constexpr int ioprioClassShift = 13;
constexpr int ioprioClassBestEffort = 2;
constexpr int ioprioClassIdle = 3;

void setIOPriority(int ioClass, int level)
{
    // `who` 0 with IOPRIO_WHO_PROCESS means the calling thread.
    syscall(SYS_ioprio_set, ioprioWhoProcess, 0, (ioClass << ioprioClassShift) | level);
}

// The widest fan-out of the engine (quick indexing, 8 files at a time) gets its width on a machine
// with fewer cores too: its jobs mostly wait for the disk.
constexpr int minimumPoolThreads = 8;

} // namespace

TaskPools::TaskPools()
{
    userInitiated_.setObjectName(QStringLiteral("user-initiated"));
    utility_.setObjectName(QStringLiteral("utility"));
    background_.setObjectName(QStringLiteral("background"));
    userInitiatedLoops_.setObjectName(QStringLiteral("user-initiated loops"));
    utilityLoops_.setObjectName(QStringLiteral("utility loops"));
    backgroundLoops_.setObjectName(QStringLiteral("background loops"));
    for (QThreadPool* pool : {&userInitiated_, &utility_, &background_})
        pool->setMaxThreadCount(std::max(pool->maxThreadCount(), minimumPoolThreads));
    // A loop never waits for a free thread.
    for (QThreadPool* pool : {&userInitiatedLoops_, &utilityLoops_, &backgroundLoops_})
        pool->setMaxThreadCount(std::numeric_limits<int>::max());
    // Qt maps the idle priority to SCHED_IDLE on Linux.
    background_.setThreadPriority(QThread::IdlePriority);
    backgroundLoops_.setThreadPriority(QThread::IdlePriority);
}

TaskPools::~TaskPools()
{
    // The loops first: they may still be starting jobs on the other pools.
    for (QThreadPool* pool : {&userInitiatedLoops_, &utilityLoops_, &backgroundLoops_, &userInitiated_, &utility_, &background_})
        pool->waitForDone();
}

QThreadPool& TaskPools::pool(Priority priority)
{
    switch (priority) {
    case Priority::userInitiated:
        return userInitiated_;
    case Priority::utility:
        return utility_;
    case Priority::background:
        break;
    }
    return background_;
}

QThreadPool& TaskPools::loopPool(Priority priority)
{
    switch (priority) {
    case Priority::userInitiated:
        return userInitiatedLoops_;
    case Priority::utility:
        return utilityLoops_;
    case Priority::background:
        break;
    }
    return backgroundLoops_;
}

void TaskPools::applyPriorityToThisThread(Priority priority)
{
    static thread_local bool applied = false;
    if (applied)
        return;
    applied = true;
    switch (priority) {
    case Priority::userInitiated:
        break;
    case Priority::utility:
        // On Linux a thread id given to setpriority() changes that thread's nice value only.
        setpriority(PRIO_PROCESS, id_t(gettid()), 10);
        setIOPriority(ioprioClassBestEffort, 7);
        break;
    case Priority::background:
        setIOPriority(ioprioClassIdle, 0);
        break;
    }
}
