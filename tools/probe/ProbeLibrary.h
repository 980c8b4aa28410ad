#pragma once

#include "tools/probe/Probe.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QTemporaryDir>

#include <memory>

// A Library on the index of an existing support folder, for commands that drive a few of its
// operations by hand: no start-up runs, so nothing is migrated, scanned or added, and the user's
// settings are left alone, since a private settings file starts at the defaults.
struct ProbeLibrary {
    // Nothing, with the reason on io.err, when the folder holds no index: opening a missing file
    // would create an empty one.
    // Without `volumes`, the library sees no volumes at all.
    static std::unique_ptr<ProbeLibrary> open(const QString& supportDirectory, ProbeIo& io,
                                              std::shared_ptr<VolumeService> volumes = nullptr);

    // `workers` does the work of the two workers; by default they do nothing.
    explicit ProbeLibrary(const QString& supportDirectory, std::shared_ptr<VolumeService> volumes = nullptr,
                          WorkerControl::Bodies workers = {});

    // Runs the event loop until every task the operations started and nobody awaits has ended.
    static void finishTasks();

    QTemporaryDir settings;
    Defaults defaults{settings.filePath(QStringLiteral("Quorvin.conf"))};
    std::unique_ptr<Library> library;
};

// The folder source with this root path, stored first when the index has none.
Source folderSourceFor(Index& index, const QString& rootPath);

// The source's files counted by state.
QueueStatus filesByState(Index& index, const QString& sourceID);

// The machine's volume service once it has read the free space of every volume (each reading
// has a time limit of its own, so this ends even with a hung share).
std::shared_ptr<SystemVolumeService> readyVolumeService();
