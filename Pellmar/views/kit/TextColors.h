#pragma once

#include <QColor>
#include <QPalette>

// The two strengths of text and symbols: primary for what the user reads first and for settings
// that differ from their defaults, secondary for counts, notes and symbols at rest.
inline QColor primaryTextColor(const QPalette& palette)
{
    return palette.color(QPalette::WindowText);
}

inline QColor secondaryTextColor(const QPalette& palette)
{
    return palette.color(QPalette::PlaceholderText);
}
