#pragma once

#include "Pellmar/views/sidebar/SidebarRules.h"

#include <QWidget>

// The one row of the sidebar, drawn from its look: a chevron when the row opens (or its room
// when the section keeps one), the symbol, the name with an optional caption, an optional status
// dot and the count, indented by depth, with a rounded highlight when selected. It takes no
// keyboard focus, so a click leaves the keyboard where it was.
class SidebarRow : public QWidget {
    Q_OBJECT
public:
    explicit SidebarRow(QWidget* parent = nullptr);

    void setLook(const SidebarLook& look);
    const SidebarLook& look() const { return look_; }

    // Where the chevron answers clicks, in the row's coordinates; empty without one.
    QRect chevronRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();
    void chevronClicked();
    void menuRequested(const QPoint& globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    SidebarLook look_;
    bool pressedOnChevron_ = false;
};
