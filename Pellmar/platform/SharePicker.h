#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>

#include <optional>

// Offers files to what the desktop can hand them to (the clipboard, an e-mail), in a menu shown
// next to a rectangle of the screen or, without one, at the pointer. GUI thread.
class SharePicker {
public:
    virtual ~SharePicker() = default;

    // The menu shown, or null when nothing could be shown (no active window). The menu deletes
    // itself once closed.
    virtual QObject* show(const QStringList& filePaths, std::optional<QRect> screenRect) = 0;
};
