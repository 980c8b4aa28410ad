#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The remaining time of `remaining` items at `rate` items per second, as the activity strip shows
// it: "under 2 minutes left", "about 12 min left", "about 1 h 30 min left". Nothing when nothing is
// left or the rate is too low (0.02 per second or less) to say.
std::optional<QString> timeLeftText(qint64 remaining, double rate);
