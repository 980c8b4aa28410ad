#pragma once

#include <QList>

#include <algorithm>
#include <limits>
#include <optional>

// A count at a moment (seconds since 1970), from which the status derives rates.
struct Sample {
    double time = 0;
    qint64 count = 0;

    bool operator==(const Sample&) const = default;
};

// How old a kept counter result the status refresh may show: only one that is still current (no
// connection has committed since it was read), or, for the once-a-second ticker, also one read
// less than its counter's interval ago.
enum class Staleness { current, withinInterval };

// When one slow counter (a count over every row of a large table) was last read. Its result is
// reused while the index has not changed; while it changes, the ticker reads the counter again
// only once max(1 s, 200 × its last duration) has passed, so that the four counters together take
// no more than about 2 % of their connection (20 ms a second). A commit of another connection
// empties the reading connection's page cache, so even the item count costs a cold read then.
struct CounterSchedule {
    std::optional<qint64> dataVersion;   // the reading connection's data version when last read
    double ranAt = 0;                    // clock uptime of the last reading
    double duration = 0;                 // seconds the last reading took
    double currentAt = -std::numeric_limits<double>::infinity();   // last time (since 1970) known current

    double interval() const { return std::max(1.0, 200 * duration); }
    bool due(qint64 versionNow, double uptimeNow, Staleness allowed) const
    {
        if (dataVersion == versionNow)
            return false;
        return !dataVersion || allowed == Staleness::current || uptimeNow - ranAt >= interval();
    }
};

// The slow counters of the status refresh.
struct StatusCounters {
    CounterSchedule items;         // the item count
    CounterSchedule states;        // files by state
    CounterSchedule fullPreviews;  // larger-preview progress
    CounterSchedule bySource;      // per-source progress
};

// Keeps a rate window: appends `sample` when it is newer than the last one, drops samples more
// than `window` seconds older than `now`, and returns the count per second between the oldest and
// the newest sample once the oldest is more than 5 s old; nothing before, and then the rate stays
// as it was.
std::optional<double> windowRate(QList<Sample>& samples, Sample sample, double now, double window);
