#include "Pellmar/views/sidebar/DeviceRowRules.h"

#include "Pellmar/views/kit/Formatters.h"

#include <algorithm>

DeviceRowLook deviceRowLook(const Device& device, const std::optional<QString>& selectedDevice)
{
    return {
        .name = device.name,
        .symbol = QStringLiteral("externaldrive"),
        // A volume can report more free space than its size (reserved blocks, a stale reading).
        .usedText = byteCountText(std::max<qint64>(device.capacity - device.available, 0)),
        .selected = selectedDevice == device.id(),
    };
}
