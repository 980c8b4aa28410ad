#include "Pellmar/library/engine/WorkerControl.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/PreviewSweep.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QCoroFuture>
#include <QPromise>

#include <exception>
#include <utility>

#include <malloc.h>

// One run of a worker: its handle, and a future that finishes when the run's end sequence is over.
struct WorkerControl::Run {
    TaskHandle handle;
    QPromise<void> end;
    QFuture<void> ended;

    Run()
    {
        end.start();
        ended = end.future();
    }
};

// The holds that live, and the starts they held back.
struct WorkerControl::Hold::State {
    WorkerControl* control = nullptr;
    int count = 0;
    bool quickAsked = false;
    bool fullAsked = false;
};

namespace {

// The decoders of a run free their buffers into the allocator's arenas, which keep them; once the
// run has ended they go back to the system, off the GUI thread (a trim walks every arena).
void returnFreedMemory(TaskPools& pools)
{
    pools.run(Priority::background, [] { ::malloc_trim(0); });
}

QCoro::Task<> runBody(const WorkerControl::Body& body, WorkerInputs inputs, CancelToken token)
{
    if (!body)
        co_return;
    try {
        co_await body(std::move(inputs), token);
    } catch (const std::exception& error) {
        // A body reports its failures itself; one that escapes still lets the run end properly.
        qWarning("a worker ended with an error: %s", error.what());
    } catch (const ContextGone&) {
    }
}

// The ends of the runs that are still under way; finished runs are dropped from the list.
template <typename Runs>
QList<QFuture<void>> unfinished(Runs& runs)
{
    runs.removeIf([](const auto& run) { return run->ended.isFinished(); });
    QList<QFuture<void>> ends;
    for (const auto& run : runs)
        ends.append(run->ended);
    return ends;
}

} // namespace

WorkerControl::WorkerControl(Library& library, Bodies bodies)
    : library_(library)
    , bodies_(std::move(bodies))
    , holds_(std::make_shared<Hold::State>(Hold::State{.control = this}))
    , previewSweep_(std::make_unique<PreviewSweep>(library))
    , readingMarks_(std::make_shared<ReadingMarks>(library.supportDirectory() + QStringLiteral("/reading.marks")))
{
}

WorkerControl::~WorkerControl() = default;

WorkerControl::Hold WorkerControl::holdStarts()
{
    ++holds_->count;
    return Hold(holds_);
}

WorkerControl::Hold::~Hold()
{
    const std::shared_ptr<State> state = state_.lock();
    if (!state || --state->count > 0)
        return;
    const bool quick = std::exchange(state->quickAsked, false);
    const bool full = std::exchange(state->fullAsked, false);
    // Quick indexing hands over to larger previews when it ends.
    if (quick)
        state->control->startWorker();
    else if (full)
        state->control->startFullWorker(false);
}

bool WorkerControl::quickIndexUnderWay()
{
    return !unfinished(quickRuns_).isEmpty();
}

WorkerInputs WorkerControl::inputs() const
{
    WorkerInputs inputs{.index = &library_.index(), .lookup = &library_.lookupIndex(), .idle = &library_.idle(),
                        .proxyDirectory = library_.proxyDirectory(), .library = &library_,
                        .readingMarks = readingMarks_, .inFlight = quickInFlight_};
    for (const Source& source : library_.sources())
        inputs.sources.insert(source.id, source);
    return inputs;
}

void WorkerControl::startWorker()
{
    if (holds_->count > 0) {
        holds_->quickAsked = true;
        return;
    }
    if (library_.worker()) {
        library_.setRerun(true);
        return;
    }
    cancelFull();
    library_.setProcessing(true);
    auto run = std::make_shared<Run>();
    unfinished(quickRuns_);
    quickRuns_.append(run);
    ++quickRunsStarted_;
    // Set before the run starts: a body that ends at once finishes the run before startLongLived returns.
    library_.setWorker(run->handle);
    Tasks::startLongLived(runQuick(run, bodies_.quickIndex, inputs()));
}

QCoro::Task<> WorkerControl::stopWorker()
{
    return awaitAll(cancelQuick());
}

void WorkerControl::startFullWorker(bool userRequested)
{
    if (userRequested) {
        library_.idle().setUserOverride(true);
        if (library_.fullWorker() && library_.fullWaiting())
            library_.setFullWaiting(false);
    }
    if (holds_->count > 0) {
        holds_->fullAsked = true;
        return;
    }
    if (library_.fullWorker() || library_.worker())
        return;
    library_.setFullPaused(false);
    library_.setFullProcessing(true);
    auto run = std::make_shared<Run>();
    unfinished(fullRuns_);
    fullRuns_.append(run);
    library_.setFullWorker(run->handle);
    Tasks::startLongLived(runFull(run, bodies_.fullPreviews, inputs()));
}

QCoro::Task<> WorkerControl::stopFullWorker()
{
    return awaitAll(cancelFull());
}

void WorkerControl::pauseFullPreviews()
{
    library_.setFullPaused(true);
    library_.idle().setUserOverride(false);
    cancelFull();
}

QList<QFuture<void>> WorkerControl::cancelQuick()
{
    if (const std::optional<TaskHandle> worker = library_.worker()) {
        worker->cancel();
        library_.setWorker(std::nullopt);
    }
    library_.setProcessing(false);
    // A run asked for while the stopped one ran would otherwise start as soon as it ends.
    library_.setRerun(false);
    return unfinished(quickRuns_);
}

QList<QFuture<void>> WorkerControl::cancelFull()
{
    if (const std::optional<TaskHandle> fullWorker = library_.fullWorker()) {
        fullWorker->cancel();
        library_.setFullWorker(std::nullopt);
    }
    library_.setFullProcessing(false);
    library_.setFullWaiting(false);
    library_.setFullInFlight({});
    return unfinished(fullRuns_);
}

void WorkerControl::finishQuick(const Run& run)
{
    if (library_.worker() != run.handle)
        return;
    library_.setWorker(std::nullopt);
    library_.setProcessing(false);
    returnFreedMemory(library_.pools());
}

void WorkerControl::finishFull(const Run& run)
{
    if (library_.fullWorker() != run.handle)
        return;
    library_.setFullWorker(std::nullopt);
    library_.setFullProcessing(false);
    library_.setFullWaiting(false);
    library_.setFullInFlight({});
    library_.idle().setUserOverride(false);
    returnFreedMemory(library_.pools());
}

void WorkerControl::afterQuickIndex()
{
    // A newer run owns the state; its own end decides what follows.
    if (library_.worker())
        return;
    if (library_.rerun()) {
        library_.setRerun(false);
        startWorker();
    } else if (!library_.fullPaused()) {
        startFullWorker(false);
    }
}

QCoro::Task<> WorkerControl::awaitAll(QList<QFuture<void>> ends)
{
    for (const QFuture<void>& end : ends)
        co_await end;
}

QCoro::Task<> WorkerControl::endQuickRun(std::shared_ptr<Run> run)
{
    const AliveGuard alive(&library_);
    finishQuick(*run);
    co_await alive(library_.refreshStatus());
    co_await alive(library_.refreshTrees());
    qCInfo(logSearch, "search called by quick index finish");
    co_await alive(library_.search());
    co_await alive(library_.loadFailures());
    afterQuickIndex();
}

QCoro::Task<> WorkerControl::endFullRun(std::shared_ptr<Run> run)
{
    const AliveGuard alive(&library_);
    finishFull(*run);
    co_await alive(library_.refreshStatus());
}

QCoro::Task<> WorkerControl::runQuick(std::shared_ptr<Run> run, Body body, WorkerInputs inputs)
{
    const QPointer<Library> library = inputs.library;
    co_await runBody(body, std::move(inputs), run->handle.token());
    // The end sequence stops where the Library is gone; the run's end is announced in every case.
    if (library) {
        try {
            co_await library->workers().endQuickRun(run);
        } catch (const ContextGone&) {
        }
    }
    run->end.finish();
    if (library)
        library->workers().previewSweep_->afterQuickIndex();
}

QCoro::Task<> WorkerControl::runFull(std::shared_ptr<Run> run, Body body, WorkerInputs inputs)
{
    const QPointer<Library> library = inputs.library;
    co_await runBody(body, std::move(inputs), run->handle.token());
    if (library) {
        try {
            co_await library->workers().endFullRun(run);
        } catch (const ContextGone&) {
        }
    }
    run->end.finish();
}
