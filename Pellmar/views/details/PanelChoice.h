#pragma once

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <optional>

// Which one panel the inspector column shows, from the Library's two selections.
namespace inspector {

enum class Panel { group, item, location, cardGroup, cardFile, device };

struct PanelState {
    qsizetype selectedIDs = 0;       // how many items are selected
    bool inspecting = false;         // an item is shown in the inspector
    QList<Device> devices;
    std::optional<QString> selectedDevice;
    qsizetype selectedCards = 0;     // how many card files are ticked
    bool focusedCardFile = false;    // a card file is shown in the inspector
};

// Several items win over one, one item over a device; a device's card files count only while the
// device is still plugged in, and without a device the place the grid shows is described.
Panel choosePanel(const PanelState& state);

} // namespace inspector
