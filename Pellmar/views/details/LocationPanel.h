#pragma once

#include "Pellmar/views/details/PanelFrame.h"

class ElidedLabel;
class Library;
class Mosaic;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class StatusDot;

// The inspector's content while no item is selected: the place the grid shows (a source, a folder
// of it, a smart group, the favorites, the items with one copy, or everything), with pictures of
// its latest items, what it holds, and for a source whether it is plugged in, its path, "Show in
// Files" and "Rescan".
class LocationPanel : public PanelFrame {
    Q_OBJECT
public:
    explicit LocationPanel(Library& library, QWidget* parent = nullptr);

    void refresh();

    QLabel& title() const { return *title_; }
    Mosaic& mosaic() const { return *mosaic_; }

private:
    Library& library_;
    Mosaic* mosaic_;
    QLabel* symbol_;
    QLabel* title_;
    QWidget* sourceCaption_;
    StatusDot* dot_;
    QLabel* connection_;
    ElidedLabel* path_;
    QLabel* scopeCaption_;
    QLabel* empty_;
    QWidget* figuresDivider_;
    QWidget* figures_;
    QGridLayout* figureGrid_;
    QWidget* actions_;
    QHBoxLayout* actionRow_;
};
