#pragma once

// The context menus of one item and of a selection of several, and the "Open in" submenu, built
// from the Library's state when they are asked for; a chosen entry acts on what the menu showed.

#include "Pellmar/index/Model.h"
#include "Pellmar/library/LibraryValues.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class Library;
class QMenu;
class QPoint;
class QWidget;

namespace inspector {

// One application of the "Open in" menu; an entry without an id is the divider after the default.
struct OpenInEntry {
    QString appID;
    QString title;
    QString icon;   // a theme icon name or an image file's path
    bool operator==(const OpenInEntry&) const = default;
};
struct AppEntryInfo {
    QString name;
    QString icon;
};
using AppLookup = std::function<std::optional<AppEntryInfo>(const QString& appID)>;
// The default application, a divider, then the others in the desktop's order; an application is
// titled by its entry's name, else by its id without ".desktop".
QList<OpenInEntry> openInEntries(const AppChoices& choices, const AppLookup& lookup);

void fillOpenInMenu(QMenu& menu, Library& library, const Item& item);
void fillItemMenu(QMenu& menu, Library& library, const Item& item, const QString& anchor);
void fillGroupMenu(QMenu& menu, Library& library, const QString& anchor);

// Opens the menu at a point of the screen; it deletes itself when closed.
void popupItemMenu(Library& library, const Item& item, const QString& anchor, const QPoint& at, QWidget* parent);
void popupGroupMenu(Library& library, const QString& anchor, const QPoint& at, QWidget* parent);

} // namespace inspector
