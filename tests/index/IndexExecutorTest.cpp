#include "Pellmar/index/Index.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {

class IndexExecutorTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("index.sqlite"));
};

TEST_F(IndexExecutorTest, DatabaseErrorReachesBothKindsOfCaller)
{
    Index index(path);
    const auto failing = [](Index& ix) -> qint64 {
        ix.database().run(QStringLiteral("SELECT * FROM no_such_table"));
        return 1;
    };

    // A GUI-thread coroutine: the error arrives as a DatabaseError at the co_await.
    const QString fromCoroutine = QCoro::waitFor([&]() -> QCoro::Task<QString> {
        try {
            co_await index.run(failing);
        } catch (const DatabaseError& error) {
            co_return error.description();
        }
        co_return QString();
    }());
    EXPECT_EQ(fromCoroutine, QStringLiteral("no such table: no_such_table"));

    // A worker thread waiting on the call.
    QString fromWorker;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            waitFor(index.run([](Index& ix) { ix.database().exec(QStringLiteral("NOT SQL")); }));
        } catch (const DatabaseError& error) {
            fromWorker = error.description();
        }
    }));
    worker->start();
    worker->wait();
    EXPECT_EQ(fromWorker, QStringLiteral("near \"NOT\": syntax error"));
}

TEST_F(IndexExecutorTest, CoroutineAwaitsJobsThatCaptureValues)
{
    // The job lambda is a temporary of the co_await expression; its captures must be destroyed once.
    Index index(path);
    const auto lengthOf = [&index](QString text) -> QCoro::Task<qint64> {
        co_return co_await index.run([text](Index&) { return qint64(text.size()); });
    };
    qint64 total = 0;
    for (int i = 0; i < 50; ++i)
        total += QCoro::waitFor(lengthOf(QString(100 + i, QLatin1Char('x'))));
    EXPECT_EQ(total, 50 * 100 + 49 * 50 / 2);
}

TEST_F(IndexExecutorTest, JobsRunOneAtATimeInSubmissionOrderFromManyThreads)
{
    Index index(path);
    constexpr int threads = 8;
    constexpr int jobsPerThread = 200;
    std::mutex orderLock;
    std::vector<int> submitted;
    std::vector<int> ran;
    std::atomic<int> running = 0;
    std::atomic<bool> overlapped = false;

    std::vector<std::unique_ptr<QThread>> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(QThread::create([&, t] {
            for (int j = 0; j < jobsPerThread; ++j) {
                const int tag = t * jobsPerThread + j;
                QFuture<void> done;
                {
                    // Submission and recording happen together, so `submitted` is the queue order.
                    std::lock_guard lock(orderLock);
                    submitted.push_back(tag);
                    done = index.run([&, tag](Index&) {
                        if (running.fetch_add(1) != 0)
                            overlapped = true;
                        ran.push_back(tag);
                        running.fetch_sub(1);
                    });
                }
                if (j % 50 == 0)
                    waitFor(done); // a waited call in between must not deadlock
            }
        }));
        workers.back()->start();
    }
    for (auto& worker : workers)
        worker->wait();
    waitFor(index.run([](Index&) {}));

    EXPECT_FALSE(overlapped);
    EXPECT_EQ(ran, submitted);
}

// A query that would run for ever, and the job queued behind it, both end at once when the
// connection is interrupted from another thread; the executor can then be destroyed without waiting.
TEST_F(IndexExecutorTest, InterruptEndsTheRunningQueryAndEveryLaterOne)
{
    const auto endless = [](Index& ix) -> qint64 {
        Statement count(ix.database().db(), QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                                           "FROM n) SELECT COUNT(*) FROM n"));
        return count.step() ? count.int64(0) : 0;
    };
    auto index = std::make_unique<Index>(path, Index::Access::readOnly);
    std::atomic<bool> started = false;
    QFuture<qint64> running = index->run([&started, endless](Index& ix) {
        started = true;
        return endless(ix);
    });
    QFuture<qint64> queued = index->run(endless);
    while (!started)
        QThread::yieldCurrentThread();

    index->database().interrupt();
    for (QFuture<qint64>* future : {&running, &queued}) {
        try {
            waitFor(*future);
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), QStringLiteral("interrupted"));
        }
    }
    index.reset();
}

TEST_F(IndexExecutorTest, ReadOnlyInstanceRefusesWrites)
{
    Index writer(path);
    waitFor(writer.run([](Index& ix) { ix.database().exec(QStringLiteral("CREATE TABLE t (x)")); }));
    Index reader(path, Index::Access::readOnly);
    EXPECT_THROW(waitFor(reader.run([](Index& ix) { ix.database().run(QStringLiteral("INSERT INTO t VALUES (1)")); })),
                 DatabaseError);
}

} // namespace
