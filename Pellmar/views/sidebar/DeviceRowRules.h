#pragma once

#include "Pellmar/index/Model.h"

#include <QString>

#include <optional>

// What a device's row in the sidebar shows.
struct DeviceRowLook {
    QString name;
    QString symbol;     // from the shipped icon set: no look at the mount on the GUI thread
    QString usedText;   // the space in use; never below zero
    bool selected = false;
};

DeviceRowLook deviceRowLook(const Device& device, const std::optional<QString>& selectedDevice);
