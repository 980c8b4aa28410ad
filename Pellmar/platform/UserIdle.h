#pragma once

#include <optional>

// How long the user has not touched the keyboard, mouse or any other input device.
class UserIdle {
public:
    virtual ~UserIdle() = default;
    // Seconds since the last input event; infinity when no display is there to receive input;
    // nothing when the display cannot tell. Call it off the GUI thread.
    virtual std::optional<double> secondsSinceInput() = 0;
};

// Asks the X server's screensaver extension, over a connection of its own for each reading.
class X11UserIdle final : public UserIdle {
public:
    std::optional<double> secondsSinceInput() override;
};
