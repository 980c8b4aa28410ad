#pragma once

#include "Pellmar/index/Model.h"

#include <QKeySequence>

#include <optional>

// The Edit menu's pasteboard commands. While a grid (or a widget inside one) has the keyboard,
// they act on the grid's selection; otherwise they go to the focused widget as its own keys
// would, so that they edit the text of a search field.
namespace EditCommands {

struct States {
    bool cut = true;
    bool copy = true;
    bool paste = true;
    bool deleteSelection = true;
    bool selectAll = true;

    bool operator==(const States&) const = default;
};

// Which commands are on: all of them without a focused grid; with one, Cut is off and the others
// follow what the grid can do.
States states(const std::optional<GridCommands>& grid);

// The commands of the grid that holds the keyboard focus, if one does.
std::optional<GridCommands> focusedGrid();

// Hands a command to the focused widget as the key press that means it there (Ctrl+C for Copy);
// nothing when no widget has the focus.
void sendToFocusedWidget(QKeySequence::StandardKey command);

} // namespace EditCommands
