#include "Pellmar/platform/SessionUserIdle.h"

#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVirtualObject>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <future>
#include <limits>
#include <memory>

namespace {

// One idle method of a desktop session, answering a fixed number of milliseconds.
class IdleMethod final : public QDBusVirtualObject {
public:
    IdleMethod(QString method, QVariant milliseconds) : method_(std::move(method)), milliseconds_(std::move(milliseconds)) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != method_)
            return false;
        connection.send(message.createReply(milliseconds_));
        return true;
    }

private:
    QString method_;
    QVariant milliseconds_;
};

struct StubIdle final : UserIdle {
    explicit StubIdle(std::optional<double> seconds) : seconds(seconds) {}
    std::optional<double> secondsSinceInput() override { return seconds; }
    std::optional<double> seconds;
};

// A private bus between this test and a fake session that serves the objects it is given.
class FakeSession {
public:
    FakeSession(bool mutter, bool screenSaver)
    {
        QObject::connect(&server_, &QDBusServer::newConnection, [=, this](QDBusConnection connection) {
            if (mutter)
                connection.registerVirtualObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &mutter_);
            if (screenSaver)
                connection.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver_);
            served_ = true;
        });
        client_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToPeer(server_.address(), name()));
        EXPECT_TRUE(QTest::qWaitFor([this] { return served_; }, 5000));
    }
    ~FakeSession() { QDBusConnection::disconnectFromPeer(name()); }

    const QDBusConnection& bus() const { return *client_; }

    // Reads on another thread while this one serves the calls.
    static SessionUserIdle::Reading read(SessionUserIdle& idle)
    {
        std::future<SessionUserIdle::Reading> reading = std::async(std::launch::async, [&] { return idle.read(); });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
        return reading.get();
    }

private:
    static QString name() { return QStringLiteral("fake-session"); }

    QTemporaryDir dir_;
    QDBusServer server_{QStringLiteral("unix:dir=") + dir_.path()};
    // GNOME answers in an unsigned 64-bit count, KDE in a 32-bit one.
    IdleMethod mutter_{QStringLiteral("GetIdletime"), QVariant::fromValue(qulonglong(150'000))};
    IdleMethod screenSaver_{QStringLiteral("GetSessionIdleTime"), QVariant::fromValue(uint(2'500))};
    bool served_ = false;
    std::unique_ptr<QDBusConnection> client_;
};

TEST(SessionUserIdle, AsksMutterThenTheScreenSaverThenTheX11Fallback)
{
    constexpr double none = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        bool mutter;
        bool screenSaver;
        std::optional<double> fallback;   // nothing: no fallback at all (a Wayland session)
        double seconds;
        const char* provider;
    };
    const Case cases[] = {
        {"GNOME", true, true, 7.0, 150.0, "mutter"},
        {"KDE", false, true, 7.0, 2.5, "screensaver"},
        {"X11 without idle services", false, false, 7.0, 7.0, "x11"},
        {"no display for the fallback", false, false, none, none, "none"},
        {"Wayland without idle services", false, false, std::nullopt, none, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSession session(c.mutter, c.screenSaver);
        SessionUserIdle idle(session.bus(), c.fallback ? std::make_shared<StubIdle>(*c.fallback) : nullptr);
        const SessionUserIdle::Reading reading = FakeSession::read(idle);
        EXPECT_EQ(reading.seconds, c.seconds);
        EXPECT_EQ(reading.provider, QLatin1String(c.provider));
    }
}

TEST(SessionUserIdle, WithoutABusTheFallbackAnswers)
{
    SessionUserIdle idle(QDBusConnection(QStringLiteral("never connected")), std::make_shared<StubIdle>(std::nullopt));
    const SessionUserIdle::Reading reading = idle.read();
    EXPECT_EQ(reading.seconds, std::nullopt);
    EXPECT_EQ(reading.provider, QStringLiteral("x11"));
}

} // namespace
