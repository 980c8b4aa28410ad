#include "Pellmar/platform/SessionUserIdle.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariant>

#include <cmath>
#include <limits>

namespace {

constexpr int replyTimeoutMs = 1000;

// A D-Bus method that answers the milliseconds since the last input.
struct IdleService {
    const char* provider;
    const char* service;
    const char* path;
    const char* interface;
    const char* method;
};

// GNOME's answers in an unsigned 64-bit count, KDE's in a 32-bit one.
constexpr IdleService idleServices[] = {
    {"mutter", "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core", "org.gnome.Mutter.IdleMonitor",
     "GetIdletime"},
    {"screensaver", "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
     "GetSessionIdleTime"},
};

std::optional<double> ask(const QDBusConnection& bus, const IdleService& idle)
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(idle.service), QLatin1String(idle.path),
                                       QLatin1String(idle.interface), QLatin1String(idle.method));
    QDBusPendingCall pending = bus.asyncCall(call, replyTimeoutMs);
    pending.waitForFinished();
    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    const QVariant milliseconds = reply.arguments().first();
    if (milliseconds.typeId() != QMetaType::ULongLong && milliseconds.typeId() != QMetaType::UInt)
        return std::nullopt;
    return milliseconds.toULongLong() / 1000.0;
}

bool isWaylandSession()
{
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

} // namespace

SessionUserIdle::SessionUserIdle()
    : fallback_(isWaylandSession() ? nullptr : std::make_shared<X11UserIdle>())
{
}

SessionUserIdle::SessionUserIdle(QDBusConnection bus, std::shared_ptr<UserIdle> fallback)
    : bus_(std::move(bus))
    , fallback_(std::move(fallback))
{
}

SessionUserIdle::Reading SessionUserIdle::read()
{
    const QDBusConnection bus = bus_.value_or(QDBusConnection::sessionBus());
    if (bus.isConnected()) {
        for (const IdleService& idle : idleServices) {
            if (const std::optional<double> seconds = ask(bus, idle))
                return {seconds, QString::fromLatin1(idle.provider)};
        }
    }
    // X11UserIdle answers infinity when no display is there.
    if (fallback_) {
        const std::optional<double> seconds = fallback_->secondsSinceInput();
        if (!seconds || !std::isinf(*seconds))
            return {seconds, QStringLiteral("x11")};
    }
    return {std::numeric_limits<double>::infinity(), QStringLiteral("none")};
}
