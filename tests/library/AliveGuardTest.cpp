#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "tests/support/LogCapture.h"

#include <QCoroTask>
#include <QObject>
#include <QPromise>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// What a Library coroutine would touch after its co_await.
class Owner : public QObject {
public:
    QStringList seen;
};

QCoro::Task<> record(Owner* owner, QFuture<QString> future)
{
    const AliveGuard alive(owner);
    try {
        owner->seen.append(co_await alive(future));
    } catch (const DatabaseError& error) {
        owner->seen.append(error.description());
    }
}

// The way a Library operation awaits another one.
QCoro::Task<> recordTwice(Owner* owner, QFuture<QString> future)
{
    const AliveGuard alive(owner);
    co_await alive(record(owner, future));
    owner->seen.append(QStringLiteral("after"));
}

void settle(QPromise<QString>& promise, bool fails)
{
    if (fails)
        promise.setException(std::make_exception_ptr(DatabaseError(QStringLiteral("disk I/O error"))));
    else
        promise.addResult(QStringLiteral("value"));
    promise.finish();
}

struct Case {
    const char* name;
    bool fails;
    bool nested;
};

constexpr Case cases[] = {
    {"value", false, false},
    {"error", true, false},
    {"value, nested", false, true},
    {"error, nested", true, true},
};

TEST(AliveGuard, WhileTheOwnerLivesTheAwaitGivesTheResultOrTheErrorAsItself)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Owner owner;
        QPromise<QString> promise;
        promise.start();
        Tasks::start(c.nested ? recordTwice(&owner, promise.future()) : record(&owner, promise.future()));
        settle(promise, c.fails);
        ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
        QStringList expected{QString::fromLatin1(c.fails ? "disk I/O error" : "value")};
        if (c.nested)
            expected.append(QStringLiteral("after"));
        EXPECT_EQ(owner.seen, expected);
    }
}

// The owner is destroyed while the coroutine waits; the awaited work ends afterwards. The coroutine
// (and the one awaiting it) ends there, quietly, without touching the freed owner: the address
// sanitizer build reports any access.
TEST(AliveGuard, ACoroutineWhoseOwnerIsDestroyedMidAwaitEndsWithoutTouchingIt)
{
    LogCapture warnings(*QLoggingCategory::defaultCategory());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = std::make_unique<Owner>();
        QPromise<QString> promise;
        promise.start();
        Tasks::start(c.nested ? recordTwice(owner.get(), promise.future()) : record(owner.get(), promise.future()));
        owner.reset();
        settle(promise, c.fails);
        ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    }
    EXPECT_EQ(warnings.take(), QStringList());
}

// A result that owns something (a gate's pass, a buffer) is freed when its owner is gone.
TEST(AliveGuard, TheResultIsReleasedWhenTheOwnerIsGone)
{
    auto owner = std::make_unique<Owner>();
    auto promise = std::make_unique<QPromise<std::shared_ptr<int>>>();
    promise->start();
    bool resumed = false;
    Tasks::start([](Owner* owner, QFuture<std::shared_ptr<int>> future, bool& resumed) -> QCoro::Task<> {
        const AliveGuard alive(owner);
        const std::shared_ptr<int> result = co_await alive(future);
        resumed = true;
    }(owner.get(), promise->future(), resumed));
    owner.reset();
    std::weak_ptr<int> result;
    {
        const auto made = std::make_shared<int>(1);
        result = made;
        promise->addResult(made);
        promise->finish();
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    promise.reset();
    EXPECT_FALSE(resumed);
    EXPECT_TRUE(result.expired());
}

} // namespace
