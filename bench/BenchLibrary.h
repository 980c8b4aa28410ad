#pragma once

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QString>

#include <memory>

// What a benchmark's Library runs on: its own support folder and settings, the given clock, this
// machine's volumes and idle readings, and no start-up passes.
inline Library::Services benchServices(const QString& supportDirectory, Defaults& defaults, std::shared_ptr<Clock> clock)
{
    Library::Services services;
    services.supportDirectory = supportDirectory;
    services.defaults = &defaults;
    services.clock = std::move(clock);
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = std::make_shared<VolumeService>();
    services.startUp = false;
    return services;
}
