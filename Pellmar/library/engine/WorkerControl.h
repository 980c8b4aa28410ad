#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/library/engine/ReadingMarks.h"
#include "Pellmar/library/engine/FilesInFlight.h"
#include "Pellmar/library/frame/Cancellation.h"

#include <QCoroTask>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class IdleMonitor;
class Index;
class Library;
class PreviewSweep;

// What a worker run is given when it starts, and keeps for its whole life.
struct WorkerInputs {
    Index* index = nullptr;          // the writer; valid while `library` lives
    Index* lookup = nullptr;         // a reader, for lookups while the writer commits; valid while `library` lives
    IdleMonitor* idle = nullptr;     // valid while `library` lives
    QHash<QString, Source> sources;  // by id, as they stood when the run started
    QString proxyDirectory;
    QPointer<Library> library;       // the run never keeps the Library alive
    std::shared_ptr<ReadingMarks> readingMarks;   // null: nothing is marked
    // The files the quick-index worker reads now; shared with the control, which outlives no run.
    std::shared_ptr<FilesInFlight> inFlight = std::make_shared<FilesInFlight>();
};

// Starts, stops, pauses and resumes the Library's two background workers, and keeps them apart:
// larger previews never run while quick indexing runs. The workers' state is published as Library
// properties (worker, processing, rerun, fullWorker, fullProcessing, fullPaused, fullWaiting,
// fullInFlight) and IdleMonitor's userOverride. GUI thread only.
//
// A worker's work is a Body: a coroutine started on the GUI thread that moves its work onto
// threads of its own priority (utility for quick indexing, background for larger previews), checks
// its token where it may stop, and returns once its work has ended. The control then runs the end
// sequence of the run. A run that was stopped and ends after a newer run started leaves the newer
// run's handles and flags alone.
class WorkerControl {
public:
    using Body = std::function<QCoro::Task<>(WorkerInputs inputs, CancelToken token)>;
    struct Bodies {
        Body quickIndex;
        Body fullPreviews;
    };

    // Bodies left empty do nothing and end at once.
    WorkerControl(Library& library, Bodies bodies);
    ~WorkerControl();
    WorkerControl(const WorkerControl&) = delete;
    WorkerControl& operator=(const WorkerControl&) = delete;

    // Starts quick indexing, stopping larger previews; while a run is under way, asks for one more
    // run after it instead.
    void startWorker();
    // Cancels quick indexing at once. Awaiting the task waits until every run that was under way
    // has ended, including its end sequence, which may start larger previews (so stop those after).
    QCoro::Task<> stopWorker();
    // Starts larger previews unless a worker of either kind runs. A request of the user also lets
    // larger previews run now whatever IdleMonitor says, and ends a wait of a running worker.
    void startFullWorker(bool userRequested);
    // Cancels larger previews at once; awaiting the task waits until every run has ended.
    QCoro::Task<> stopFullWorker();
    // The user's pause: larger previews stop and are not started again until the user resumes.
    void pauseFullPreviews();

    // Keeps both workers from starting while it lives, so that a repair can change preview files
    // and rows with no worker under way. A start asked for meanwhile runs once the last hold ends.
    class Hold {
    public:
        Hold(Hold&&) noexcept = default;
        Hold& operator=(Hold&&) = delete;
        ~Hold();

    private:
        friend class WorkerControl;
        struct State;
        explicit Hold(std::weak_ptr<State> state) : state_(std::move(state)) {}
        std::weak_ptr<State> state_;
    };
    [[nodiscard]] Hold holdStarts();

    // Whether a quick-index run has not ended yet, a stopped one included (it still writes the
    // files it has read); and how many runs have started so far.
    bool quickIndexUnderWay();
    quint64 quickRunsStarted() const { return quickRunsStarted_; }
    // The marks of the files the workers are reading, in the support folder; the start-up fails
    // what a process that ended while reading left marked.
    ReadingMarks& readingMarks() const { return *readingMarks_; }
    // The files quick indexing reads now, as its runs report them.
    QStringList quickInFlight(qsizetype limit) const { return quickInFlight_->names(limit); }

private:
    struct Run;

    WorkerInputs inputs() const;
    // Cancels the current run of the kind, if any, and returns the runs still under way.
    QList<QFuture<void>> cancelQuick();
    QList<QFuture<void>> cancelFull();
    void finishQuick(const Run& run);
    void finishFull(const Run& run);
    void afterQuickIndex();
    QCoro::Task<> endQuickRun(std::shared_ptr<Run> run);
    QCoro::Task<> endFullRun(std::shared_ptr<Run> run);

    static QCoro::Task<> awaitAll(QList<QFuture<void>> ends);
    static QCoro::Task<> runQuick(std::shared_ptr<Run> run, Body body, WorkerInputs inputs);
    static QCoro::Task<> runFull(std::shared_ptr<Run> run, Body body, WorkerInputs inputs);

    Library& library_;
    Bodies bodies_;
    // Runs that have not ended yet, the newest last; a stopped run stays here until its end.
    QList<std::shared_ptr<Run>> quickRuns_;
    QList<std::shared_ptr<Run>> fullRuns_;
    quint64 quickRunsStarted_ = 0;
    // Shared with the holds, which outlive the control when a repair is cut short by the Library's end.
    std::shared_ptr<Hold::State> holds_;
    // Cleans "Proxies" after quick-index runs.
    std::unique_ptr<PreviewSweep> previewSweep_;
    std::shared_ptr<ReadingMarks> readingMarks_;
    std::shared_ptr<FilesInFlight> quickInFlight_ = std::make_shared<FilesInFlight>();
};
