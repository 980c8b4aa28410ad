#pragma once

// What the destination chooser shows for its state: the current place, the rows of the place
// list, the caption over the right pane and the bar's button and placeholder. Plain functions of
// plain values, so that tests call them with tables.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace destination {

struct BrowserInput {
    std::optional<ImportTarget> target;
    std::optional<QString> root;            // the place the user picked, if any
    QList<ImportTarget> recent;             // newest first
    QList<Source> locations;                // in location order
    bool photosAccess = false;
    bool allowsNewAlbum = false;
    std::function<QString(const ImportTarget&)> label;   // Library::destinationLabel
};

// The place shown: the one picked, else the one holding the target, else the first location.
std::optional<QString> currentPlace(const BrowserInput& in);
bool photosMode(const BrowserInput& in);

struct PlaceRow {
    enum class Kind { header, recent, location, photos };
    Kind kind = Kind::header;
    QString title;
    QString symbol;
    bool highlighted = false;
    int index = -1;   // into recent or locations

    bool operator==(const PlaceRow&) const = default;
};
QList<PlaceRow> placeRows(const BrowserInput& in);

QString caption(const BrowserInput& in);

struct BottomBar {
    std::optional<QString> button;   // "New Folder…", "New Album…" or none
    bool buttonEnabled = false;
    QString placeholder;

    bool operator==(const BottomBar&) const = default;
};
BottomBar bottomBar(const BrowserInput& in);

// The location whose id is the current place, if any.
std::optional<Source> currentLocation(const BrowserInput& in);

} // namespace destination
