#pragma once

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/index/SerialExecutor.h"

#include <QFuture>
#include <QString>

#include <type_traits>

// The one place where the system's SQL lives. An Index owns one connection to "index.sqlite" and
// one serial executor; every operation is a synchronous unit of SQL that runs to its end on that
// executor. Callers submit operations with run():
//   from a GUI-thread coroutine:  co_await index.run([=](Index& ix) { return ix.pins(id); });
//   from a worker thread:         waitFor(index.run(...));
// The operations themselves are synchronous and must only be called from inside a job.
class Index {
public:
    enum class Access { writer, readOnly };

    // The writer takes every write; the read-only instance ("PRAGMA query_only = 1") serves the
    // user interface's reads.
    explicit Index(const QString& path, Access access = Access::writer);
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    template <typename F>
    auto run(F operation) -> QFuture<std::invoke_result_t<F, Index&>>
    {
        Q_ASSERT_X(!executor_.isCurrentThread(), "Index::run", "a job must not wait for a job of its own Index");
        return executor_.submit([this, operation = std::move(operation)]() mutable { return operation(*this); });
    }

    // The connection, for the few callers that run their own SQL inside a job.
    Database& database() { return db_; }

    // Schema and migrations
    // Creates or upgrades the schema to version 8 on the writer. True exactly when tables of a layout
    // too old to upgrade were dropped (the caller then clears the preview files).
    bool migrate();

    // Sources
    QList<Source> sources();
    void saveSource(const Source& source);
    void removeSource(const QString& sourceID);

    // Scan bookkeeping

    // Work queues and item writes

    // Grid queries

    // Workspaces, favorites and pins

    // Panel counts, summary, copies and locations

    // Sidebar trees and status counters

private:
    Database db_;
    SerialExecutor executor_; // declared last: destroyed first, after its jobs have finished
};
