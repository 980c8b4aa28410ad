#include "Pellmar/platform/UserIdle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <limits>
#include <memory>

std::optional<double> X11UserIdle::secondsSinceInput()
{
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display)
        return std::numeric_limits<double>::infinity();
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display.get(), &eventBase, &errorBase))
        return std::nullopt;
    const std::unique_ptr<XScreenSaverInfo, int (*)(void*)> info(XScreenSaverAllocInfo(), XFree);
    if (!info || !XScreenSaverQueryInfo(display.get(), DefaultRootWindow(display.get()), info.get()))
        return std::nullopt;
    return double(info->idle) / 1000.0;
}
