#include "Pellmar/library/frame/Post.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

class Receiver : public QObject {
public:
    QList<int> received;
    QList<QThread*> threads;
};

TEST(PostTo, RunsOnTheGuiThreadInTheOrderOfTheCallsFromAnyThread)
{
    Receiver receiver;
    const QPointer<Receiver> context(&receiver);
    std::thread worker([context] {
        for (int i = 0; i < 100; ++i) {
            postTo(context, [i](Receiver& r) {
                r.received.append(i);
                r.threads.append(QThread::currentThread());
            });
        }
        postTo(context, [] {});   // a call that takes no context compiles too
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.received.size() == 100; }, 5000));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(receiver.received[i], i);
    EXPECT_EQ(receiver.threads.count(QCoreApplication::instance()->thread()), 100);
}

TEST(PostTo, DoesNothingWhenTheContextIsGoneAndFreesTheCall)
{
    auto receiver = std::make_unique<Receiver>();
    const QPointer<Receiver> context(receiver.get());
    auto captured = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = captured;
    bool ran = false;
    std::thread worker([context, captured = std::move(captured), &ran]() mutable {
        postTo(context, [captured = std::move(captured), &ran](Receiver& r) {
            ran = true;
            r.received.append(*captured);
        });
    });
    worker.join();
    receiver.reset();
    // The call is delivered on this turn of the loop and dropped.
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 5000));
    EXPECT_FALSE(ran);
}

} // namespace
