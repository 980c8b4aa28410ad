#pragma once

#include "Pellmar/index/Model.h"

// Implemented by a grid widget. While it or a widget inside it has keyboard focus, the Edit menu
// reads its commands (GridCommands) and acts on it instead of on the focused widget.
class GridCommandSource {
public:
    virtual ~GridCommandSource() = default;
    virtual GridCommands gridCommands() const = 0;
};
