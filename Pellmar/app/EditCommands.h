#pragma once

#include "Pellmar/index/Model.h"

#include <QPointer>

#include <optional>

class QLineEdit;
class QWidget;

// The Edit menu's pasteboard commands. What they act on is decided once from the focused widget:
// a text field edits its own text; a grid (or a widget inside one) acts on the grid's selection;
// any other widget of a window (a button, the menu bar, the sidebar) holds no text or selection
// of its own, so the commands act on the window's shown grid, as they would had the click not
// moved the keyboard. A command is never handed back to the widget as a key press: the press
// would come back to the menu's shortcut.
namespace EditCommands {

enum class Command { cut, copy, paste, deleteSelection, selectAll };

struct States {
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool deleteSelection = false;
    bool selectAll = false;

    bool operator==(const States&) const = default;
};

// What the commands act on: a text field, a grid, or nothing.
struct Target {
    QPointer<QLineEdit> field;
    std::optional<GridCommands> grid;
};

// The target in `window`: its focused widget's, or its shown grid's while it has no focus.
Target target(QWidget* window);

// Which commands are on: all of them in an editable text field (Copy and Select All in a
// read-only one); in a grid, Cut is off and the others follow what the grid can do; none
// without a target.
States states(const Target& target);

// Runs the command on the target, when it is on there.
void perform(Command command, const Target& target);

} // namespace EditCommands
