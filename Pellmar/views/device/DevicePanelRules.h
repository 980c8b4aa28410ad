#pragma once

// What the panels of a selected drive or card show: the device's counts and usage, one focused
// card file's facts, and the sum of several ticked card files.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace cards {

struct Fact {
    QString label;
    QString value;

    bool operator==(const Fact&) const = default;
};

// "1.2 GB used of 64 GB": capacity less available space, not the size of the media files.
QString usageText(const Device& device);

struct DeviceFacts {
    bool listed = false;   // false: the "Looking for photos and videos" row instead of the facts
    QList<Fact> facts;     // Photos, Videos, Audio (only when there is one), Size of every file
    bool canImport = false;

    bool operator==(const DeviceFacts&) const = default;
};
DeviceFacts deviceFacts(const std::optional<QList<CardFile>>& listing);

// The facts of one card file: its kind, size, and capture date (the modification date until the
// capture date is known, and for files without one).
QList<Fact> cardFileFacts(const CardFile& file, std::optional<double> captured);

struct GroupSummary {
    QString heading;   // "12 files selected"
    QString line;      // "On Card A, 10 photos, 2 videos, 840 MB"

    bool operator==(const GroupSummary&) const = default;
};
// The ticked files found in the listing; ticked urls not on the card count nowhere.
GroupSummary groupSummary(const QList<CardFile>& listing, const QSet<QString>& ticked, const QString& deviceName);

} // namespace cards
