#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <array>

std::unique_ptr<ProbeLibrary> ProbeLibrary::open(const QString& supportDirectory, ProbeIo& io,
                                                 std::shared_ptr<VolumeService> volumes)
{
    if (!QFileInfo(supportDirectory + QStringLiteral("/index.sqlite")).isFile()) {
        io.err << "no index.sqlite in " << supportDirectory << Qt::endl;
        return nullptr;
    }
    return std::make_unique<ProbeLibrary>(supportDirectory, std::move(volumes));
}

ProbeLibrary::ProbeLibrary(const QString& supportDirectory, std::shared_ptr<VolumeService> volumes,
                           WorkerControl::Bodies workers)
{
    Library::Services services;
    services.supportDirectory = supportDirectory;
    services.defaults = &defaults;
    services.clock = std::make_shared<RealClock>();
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = volumes ? std::move(volumes) : std::make_shared<VolumeService>();
    services.startUp = false;
    services.workerBodies = std::move(workers);
    library = std::make_unique<Library>(std::move(services));
}

void ProbeLibrary::finishTasks()
{
    // A finished index job posts an event, so the loop wakes for each step of a task.
    while (Tasks::oneShotRunning() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

Source folderSourceFor(Index& index, const QString& rootPath)
{
    for (const Source& source : index.sources()) {
        if (source.kind == SourceKind::folder && source.rootPath == rootPath)
            return source;
    }
    const VolumeIdentity volume = volumeIdentity(rootPath);
    Source source;
    source.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    source.name = QDir(rootPath).dirName();
    source.rootPath = rootPath;
    source.volumeUUID = volume.uuid;
    source.volumeName = volume.name;
    source.addedAt = currentDate();
    index.saveSource(source);
    return source;
}

QueueStatus filesByState(Index& index, const QString& sourceID)
{
    Statement rows(index.database().db(),
                   QStringLiteral("SELECT state, COUNT(*) FROM files WHERE source_id = ? GROUP BY state"));
    rows.bind({sourceID});
    QueueStatus counts;
    while (rows.step()) {
        const std::array<qint64*, 5> byState{&counts.found, &counts.identified, &counts.ready, &counts.failed,
                                             &counts.empty};
        if (const qint64 state = rows.int64(0); state >= 0 && state < qint64(byState.size()))
            *byState[size_t(state)] = rows.int64(1);
    }
    return counts;
}

std::shared_ptr<SystemVolumeService> readyVolumeService()
{
    auto service = std::make_shared<SystemVolumeService>();
    QEventLoop loop;
    QObject::connect(service.get(), &VolumeService::volumesChanged, &loop, &QEventLoop::quit);
    QTimer::singleShot(std::chrono::seconds(30), &loop, &QEventLoop::quit);
    loop.exec();
    return service;
}
