#pragma once

#include "Pellmar/platform/UserIdle.h"

#include <QDBusConnection>
#include <QString>

#include <memory>
#include <optional>

// Asks the desktop session how long the user has been away, in the order that works on today's
// desktops: GNOME's idle monitor, then the screensaver service of KDE and others (both over
// D-Bus, each call waiting at most a second for its reply), then the fallback: the X server's
// screensaver extension, used only outside a Wayland session, where it would see no more than
// the input of X clients. Call it off the GUI thread.
class SessionUserIdle final : public UserIdle {
public:
    struct Reading {
        std::optional<double> seconds;   // infinity when nothing in the session can tell
        QString provider;                // "mutter", "screensaver", "x11" or "none"
    };

    // The session bus, and the X server unless the session is a Wayland one.
    SessionUserIdle();
    // For tests: `bus` in place of the session bus; `fallback` may be null.
    SessionUserIdle(QDBusConnection bus, std::shared_ptr<UserIdle> fallback);

    std::optional<double> secondsSinceInput() override { return read().seconds; }
    Reading read();

private:
    // Empty: the session bus, reached on the first reading (connecting to it waits for the bus).
    std::optional<QDBusConnection> bus_;
    std::shared_ptr<UserIdle> fallback_;
};
