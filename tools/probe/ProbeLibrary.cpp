#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoreApplication>
#include <QFileInfo>

std::unique_ptr<ProbeLibrary> ProbeLibrary::open(const QString& supportDirectory, ProbeIo& io,
                                                 std::shared_ptr<VolumeService> volumes)
{
    if (!QFileInfo(supportDirectory + QStringLiteral("/index.sqlite")).isFile()) {
        io.err << "no index.sqlite in " << supportDirectory << Qt::endl;
        return nullptr;
    }
    return std::make_unique<ProbeLibrary>(supportDirectory, std::move(volumes));
}

ProbeLibrary::ProbeLibrary(const QString& supportDirectory, std::shared_ptr<VolumeService> volumes)
{
    Library::Services services;
    services.supportDirectory = supportDirectory;
    services.defaults = &defaults;
    services.clock = std::make_shared<RealClock>();
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = volumes ? std::move(volumes) : std::make_shared<VolumeService>();
    services.startUp = false;
    library = std::make_unique<Library>(std::move(services));
}

void ProbeLibrary::finishTasks()
{
    // A finished index job posts an event, so the loop wakes for each step of a task.
    while (Tasks::oneShotRunning() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
