#pragma once

#include "Pellmar/views/details/PanelFrame.h"

class Library;
class Mosaic;
class FlowLayout;
class QLabel;
class QPushButton;
class ShareAnchor;

// The inspector's content while several items are selected: pictures of the first six, how many
// there are, their size and kinds, and what can be done with all of them at once.
class GroupPanel : public PanelFrame {
    Q_OBJECT
public:
    explicit GroupPanel(Library& library, QWidget* parent = nullptr);

    void refresh();

    QLabel& title() const { return *title_; }
    QLabel& subtitle() const { return *subtitle_; }
    Mosaic& mosaic() const { return *mosaic_; }
    // The button with that title, if the panel shows one.
    QPushButton* button(const QString& title) const;

private:
    Library& library_;
    Mosaic* mosaic_;
    ShareAnchor* anchor_;
    QLabel* title_;
    QLabel* subtitle_;
    FlowLayout* firstRow_;
    FlowLayout* secondRow_;
};
