#pragma once

#include "Pellmar/views/details/PanelChoice.h"

#include <map>
#include <QStackedWidget>

class CoalescedRefresh;
class ItemDetailPanel;
class Library;

// The inspector column of the main window: the one panel that the Library's selections call for,
// rebuilt at most once per turn of the event loop when what it shows changes. Each kind of panel
// is made once and kept, so that showing the same item again keeps the video player where it was.
class DetailsPane : public QStackedWidget {
    Q_OBJECT
public:
    explicit DetailsPane(Library& library, QWidget* parent = nullptr);

    inspector::Panel panelKind() const { return shown_; }
    // The panel of that kind, made when first asked for.
    QWidget& panel(inspector::Panel kind);
    ItemDetailPanel& itemDetail();

    static inspector::PanelState stateOf(const Library& library);

private:
    void refresh();

    Library& library_;
    std::map<inspector::Panel, QWidget*> panels_;
    inspector::Panel shown_ = inspector::Panel::location;
    CoalescedRefresh* refresh_;
};
