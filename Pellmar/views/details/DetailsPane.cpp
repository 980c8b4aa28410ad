#include "Pellmar/views/details/DetailsPane.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/device/DevicePanels.h"
#include "Pellmar/views/details/GroupPanel.h"
#include "Pellmar/views/details/ItemDetailPanel.h"
#include "Pellmar/views/details/LocationPanel.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"

using PanelKind = inspector::Panel;

DetailsPane::DetailsPane(Library& library, QWidget* parent)
    : QStackedWidget(parent)
    , library_(library)
{
    setObjectName(QStringLiteral("inspector"));
    using P = Library::Prop;
    refresh_ = new CoalescedRefresh(
        library,
        {P::selectedIDs, P::selection, P::devices, P::selectedDevice, P::deviceFiles, P::selectedCards, P::selectedCardFile,
         P::locations, P::online, P::copies, P::probable, P::fileFacts, P::favorites, P::photoFavorites, P::sources,
         P::items, P::itemLocations, P::sourceFilter, P::pathFilter, P::smartFilter, P::favoritesOnly, P::notBackedUp,
         P::summary, P::heroItems, P::onlyHere, P::workspaceID, P::workspaces},
        [this](const QSet<Library::Prop>&) { refresh(); }, this);
    refresh_->requestAll();
}

inspector::PanelState DetailsPane::stateOf(const Library& library)
{
    return {library.selectedIDs().size(), library.selection().has_value(), library.devices(),
            library.selectedDevice(), library.selectedCards().size(), library.selectedCardFile().has_value()};
}

QWidget& DetailsPane::panel(PanelKind kind)
{
    if (const auto found = panels_.find(kind); found != panels_.end())
        return *found->second;
    QWidget* made = nullptr;
    switch (kind) {
    case PanelKind::item: made = new ItemDetailPanel(library_, this); break;
    case PanelKind::group: made = new GroupPanel(library_, this); break;
    case PanelKind::location: made = new LocationPanel(library_, this); break;
    case PanelKind::cardGroup: made = new CardGroupPanel(library_, this); break;
    case PanelKind::cardFile: made = new CardFilePanel(library_, this); break;
    case PanelKind::device: made = new DevicePanel(library_, this); break;
    }
    panels_.emplace(kind, made);
    addWidget(made);
    return *made;
}

ItemDetailPanel& DetailsPane::itemDetail()
{
    return static_cast<ItemDetailPanel&>(panel(PanelKind::item));
}

void DetailsPane::refresh()
{
    shown_ = inspector::choosePanel(stateOf(library_));
    QWidget& current = panel(shown_);
    switch (shown_) {
    case PanelKind::item: itemDetail().refresh(); break;
    case PanelKind::group: static_cast<GroupPanel&>(current).refresh(); break;
    case PanelKind::location: static_cast<LocationPanel&>(current).refresh(); break;
    case PanelKind::cardGroup: static_cast<CardGroupPanel&>(current).refresh(); break;
    case PanelKind::cardFile: static_cast<CardFilePanel&>(current).refresh(); break;
    case PanelKind::device: static_cast<DevicePanel&>(current).refresh(); break;
    }
    setCurrentWidget(&current);
}
