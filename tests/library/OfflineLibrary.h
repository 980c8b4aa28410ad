#pragma once

#include "FakeDesktop.h"
#include "FakeReadings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/FolderChooser.h"
#include "Pellmar/platform/VolumeService.h"

#include <QSignalBlocker>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// Answers each request for a folder with `answer`, when it is set, at once; counts the requests.
struct FakeFolderChooser final : FolderChooser {
    void chooseFolder(std::function<void(const QString& path)> chosen) override
    {
        ++requests;
        if (answer)
            chosen(*answer);
    }
    int requests = 0;
    std::optional<QString> answer;
};

// A Library on a temporary support folder that runs no start-up, with a manual clock and fake
// platform services: tests set its state by hand.
struct OfflineLibrary {
    OfflineLibrary() : OfflineLibrary(QString()) {}
    // On the index in `supportDirectory` (a fixture's), or in its own folder when empty.
    // Folder sources get inotify watchers unless `makeWatcher` makes others.
    explicit OfflineLibrary(const QString& supportDirectory, WorkerControl::Bodies workerBodies = {},
                            ChangeWatcher::WatcherFactory makeWatcher = {})
    {
        Library::Services services;
        services.supportDirectory = supportDirectory.isEmpty() ? dir.path() : supportDirectory;
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = volumes;
        services.startUp = false;
        services.desktop = desktop;
        services.ejector = ejector;
        services.cloud = cloud;
        services.sharePicker = sharePicker;
        services.folderChooser = folderChooser;
        services.workerBodies = std::move(workerBodies);
        services.makeWatcher = std::move(makeWatcher);
        library = std::make_unique<Library>(std::move(services));
    }

    // Replaces the volumes without the notice that would start a relink and a device refresh:
    // tests run those themselves.
    void placeVolumes(const QList<MountedVolume>& list)
    {
        const QSignalBlocker quiet(volumes.get());
        volumes->setVolumes(list);
    }

    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    FakeReadings fakes;
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<FakeEjector> ejector = std::make_shared<FakeEjector>();
    std::shared_ptr<FakeCloud> cloud = std::make_shared<FakeCloud>();
    std::shared_ptr<VolumeService> volumes = std::make_shared<VolumeService>();
    std::shared_ptr<FakeSharePicker> sharePicker = std::make_shared<FakeSharePicker>();
    // Outlives the library: its sleeping tasks end after it.
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<FakeFolderChooser> folderChooser = std::make_shared<FakeFolderChooser>();
    std::unique_ptr<Library> library;
};
