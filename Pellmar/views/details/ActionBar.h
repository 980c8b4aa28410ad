#pragma once

#include "Pellmar/index/Model.h"

#include <QWidget>

class Library;
class FlowLayout;
class QPushButton;

// The row of buttons under the inspected item's name: "Open", the "Open in" menu, "Open in Photo
// Library", "Share" and "Favorite" or "Unfavorite", each only where it can act on the item's
// copies as the Library last found them. The buttons go on in a second line where the column
// is too narrow for all of them.
class ActionBar : public QWidget {
    Q_OBJECT
public:
    explicit ActionBar(Library& library, QWidget* parent = nullptr);

    void showItem(const Item& item);
    // The button with that title, if the bar shows one.
    QPushButton* button(const QString& title) const;

private:
    Library& library_;
    FlowLayout* row_;
};
