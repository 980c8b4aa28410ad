#pragma once

#include "Pellmar/views/sidebar/SidebarRules.h"

#include <QVariantAnimation>
#include <QWidget>

// The one row of the sidebar, drawn from its look: a chevron when the row opens (or its room
// when the section keeps one), the symbol, the name with an optional caption, an optional status
// dot and the count, indented by depth, with a rounded highlight when selected and a fainter one
// under the pointer. It takes no keyboard focus, so a click leaves the keyboard where it was; the
// sidebar rings the selected row while it holds the keyboard. A shown row eases its highlight in
// and out and turns its chevron over a short animation; a new or hidden row takes its look at once.
class SidebarRow : public QWidget {
    Q_OBJECT
public:
    explicit SidebarRow(QWidget* parent = nullptr);

    void setLook(const SidebarLook& look);
    const SidebarLook& look() const { return look_; }
    void setFocusRing(bool shown);
    bool hasFocusRing() const { return focusRing_; }

    // Where the chevron answers clicks, in the row's coordinates; empty without one.
    QRect chevronRect() const;

    // How far the highlight has come in (0 to 1) and the chevron has turned down (0 to 1), as drawn now.
    qreal highlightLevel() const { return highlight_.level; }
    qreal chevronTurn() const { return chevron_.level; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();
    void chevronClicked();
    void menuRequested(const QPoint& globalPosition);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // One animated part of the row: the level it is drawn at and the animation that moves it.
    struct Eased {
        qreal level = 0;
        QVariantAnimation* animation = nullptr;   // made on the first animated change
    };
    void setupEased(Eased& part);
    // Whether some of the row lies inside its scroll area's viewport and the window; rows
    // scrolled away take their look without repainting, since they paint it when they come back.
    bool isOnScreen() const;
    // Moves the part to `target`, over the animation when `smoothly`, else at once.
    void ease(Eased& part, qreal target, bool smoothly);

    SidebarLook look_;
    bool hasLook_ = false;
    bool pressedOnChevron_ = false;
    bool focusRing_ = false;
    bool nameShortened_ = false;   // as last painted
    Eased highlight_;
    Eased chevron_;
};
