#pragma once

// The selection of the card grid: the ticked files and the focused one, which the inspector shows
// and from which a shift-click extends a range.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

struct CardSelection {
    std::optional<CardFile> focus;
    QSet<QString> ticked;   // file urls

    bool operator==(const CardSelection&) const = default;
};

// The selection after one click on `file` in the grid that shows `visible`, in its order.
// Command ticks or unticks the file; shift ticks the run from the focus to the file when both are
// shown; a plain click ticks only the file, and clicking the focus while at most one file is ticked
// clears the selection. A shift-click that cannot form a run counts as a plain click.
CardSelection clickedCardSelection(const CardSelection& current, const CardFile& file,
                                   const QList<CardFile>& visible, bool command, bool shift);
