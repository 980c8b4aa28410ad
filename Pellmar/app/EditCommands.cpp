#include "Pellmar/app/EditCommands.h"

#include "Pellmar/views/kit/GridCommands.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace EditCommands {

States states(const std::optional<GridCommands>& grid)
{
    if (!grid)
        return {};
    return States{
        .cut = false,
        .copy = grid->hasSelection,
        .paste = grid->canPaste,
        .deleteSelection = grid->hasSelection,
        .selectAll = grid->hasItems,
    };
}

std::optional<GridCommands> focusedGrid()
{
    for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (const auto* source = dynamic_cast<const GridCommandSource*>(widget))
            return source->gridCommands();
        if (widget->isWindow())
            break;
    }
    return std::nullopt;
}

void sendToFocusedWidget(QKeySequence::StandardKey command)
{
    QWidget* focused = QApplication::focusWidget();
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(command);
    if (!focused || bindings.isEmpty())
        return;
    const QKeyCombination key = bindings.first()[0];
    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
    QCoreApplication::sendEvent(focused, &press);
    QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
    QCoreApplication::sendEvent(focused, &release);
}

} // namespace EditCommands
