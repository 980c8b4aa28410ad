#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

// The colour of a workspace tint: "blue", "purple", "pink", "red", "orange", "yellow", "green" or
// "gray"; any other name is the palette's accent (highlight) colour.
QColor workspaceColor(const QString& tint, const QPalette& palette);
