#include "Pellmar/views/details/PanelChoice.h"

#include <algorithm>

namespace inspector {

Panel choosePanel(const PanelState& state)
{
    if (state.selectedIDs >= 2)
        return Panel::group;
    if (state.inspecting)
        return Panel::item;
    const bool devicePresent = state.selectedDevice
                               && std::any_of(state.devices.cbegin(), state.devices.cend(), [&](const Device& device) {
                                      return device.id() == *state.selectedDevice;
                                  });
    if (!devicePresent)
        return Panel::location;
    if (state.selectedCards >= 2)
        return Panel::cardGroup;
    if (state.focusedCardFile)
        return Panel::cardFile;
    return Panel::device;
}

} // namespace inspector
