#pragma once

// What the card grid shows: one tile per card file (its preview or a symbol of its kind, its name
// and kind with size, the selection stroke), the message over the grid while it has no tiles, and
// what a click does.

#include "Pellmar/index/Model.h"
#include "Pellmar/views/grid/GridCell.h"

#include <QList>
#include <QString>

#include <optional>

namespace cards {

// The tile of `file`; its picture is `preview` once known.
grid::Cell cardCell(const CardFile& file, bool selected, const std::optional<QString>& preview);

// The symbol a tile shows until its preview arrives, and for good without one.
QString placeholderSymbol(MediaKind kind);

struct Overlay {
    enum class Kind { none, looking, nothingOnCard, noMatches };
    Kind kind = Kind::none;
    QString title;
    QString symbol;
    QString description;

    bool operator==(const Overlay&) const = default;
};

// Over the grid: "Looking for photos and videos" until the card is listed; then, with no tile,
// "Nothing on …" while the search text is empty and "No matches" once anything is typed (blanks
// included).
Overlay overlay(const std::optional<QList<CardFile>>& visible, const QString& query, const QString& deviceName);

} // namespace cards
