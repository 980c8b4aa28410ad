#pragma once

// What the location panel says about the place the grid shows, computed from plain values.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace inspector {

struct PlaceView {
    bool favoritesOnly = false;
    bool notBackedUp = false;
    std::optional<SmartFilter> smartFilter;
    QString pathFilter;
    std::optional<Source> source;   // the filtered source, when it is among the sources
};

struct PlaceTitle {
    QString title;
    QString symbol;   // a name of the icon table
    bool operator==(const PlaceTitle&) const = default;
};
PlaceTitle placeTitle(const PlaceView& place);

// The grid shows a folder source in which nothing was found.
bool emptyFolder(const LocationSummary& summary, const std::optional<Source>& source, bool favoritesOnly);

// The caption of a place that is no source: what the scope holds.
QString scopeCaption(bool notBackedUp, bool favoritesOnly, const std::optional<QStringList>& workspaceMembers,
                     qsizetype sourceCount);

struct FigureRow {
    QString label;
    QString value;
    bool onlyHereButton = false;   // the row carries the button that restricts the grid
    bool operator==(const FigureRow&) const = default;
};
// The counts and sizes of the place; the source's rows only with a source.
QList<FigureRow> figureRows(const LocationSummary& summary, const std::optional<Source>& source);

} // namespace inspector
