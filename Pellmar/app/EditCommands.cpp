#include "Pellmar/app/EditCommands.h"

#include "Pellmar/views/kit/GridCommands.h"

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

namespace EditCommands {

namespace {

const GridCommandSource* gridAround(QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const auto* source = dynamic_cast<const GridCommandSource*>(widget))
            return source;
        if (widget->isWindow())
            break;
    }
    return nullptr;
}

// The grid the window shows, if it shows one.
const GridCommandSource* shownGrid(QWidget* window)
{
    if (!window)
        return nullptr;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        const auto* source = dynamic_cast<const GridCommandSource*>(child);
        if (source && child->isVisible() && child->window() == window)
            return source;
    }
    return nullptr;
}

bool isOn(Command command, const States& states)
{
    switch (command) {
    case Command::cut: return states.cut;
    case Command::copy: return states.copy;
    case Command::paste: return states.paste;
    case Command::deleteSelection: return states.deleteSelection;
    case Command::selectAll: return states.selectAll;
    }
    return false;
}

} // namespace

Target target(QWidget* window)
{
    QWidget* focused = QApplication::focusWidget();
    if (focused && focused->window() != window)
        focused = nullptr;
    if (auto* field = qobject_cast<QLineEdit*>(focused))
        return {field, std::nullopt};
    const GridCommandSource* grid = gridAround(focused);
    if (!grid)
        grid = shownGrid(window);
    if (grid)
        return {nullptr, grid->gridCommands()};
    return {};
}

States states(const Target& target)
{
    if (const QLineEdit* field = target.field) {
        const bool editable = !field->isReadOnly();
        return States{.cut = editable, .copy = true, .paste = editable, .deleteSelection = editable, .selectAll = true};
    }
    if (const auto& grid = target.grid)
        return States{
            .cut = false,
            .copy = grid->hasSelection,
            .paste = grid->canPaste,
            .deleteSelection = grid->hasSelection,
            .selectAll = grid->hasItems,
        };
    return {};
}

void perform(Command command, const Target& target)
{
    if (!isOn(command, states(target)))
        return;
    if (QLineEdit* field = target.field) {
        switch (command) {
        case Command::cut: field->cut(); break;
        case Command::copy: field->copy(); break;
        case Command::paste: field->paste(); break;
        case Command::deleteSelection: field->del(); break;
        case Command::selectAll: field->selectAll(); break;
        }
        return;
    }
    const GridCommands& grid = *target.grid;
    switch (command) {
    case Command::cut: break;
    case Command::copy: grid.copy(); break;
    case Command::paste: grid.paste(); break;
    case Command::deleteSelection: grid.deleteSelection(); break;
    case Command::selectAll: grid.selectAll(); break;
    }
}

} // namespace EditCommands
