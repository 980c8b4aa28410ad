#pragma once

#include "Pellmar/library/engine/ChangeWatcher.h"
#include "Pellmar/library/engine/IdleMonitor.h"
#include "Pellmar/library/engine/WorkerControl.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Clock;
class CloudFiles;
class Defaults;
class Desktop;
class FolderChooser;
class SharePicker;
class VolumeService;
class VolumeEjector;

// What a Library takes from the platform; tests pass fakes and temporary folders.
struct LibraryServices {
    QString supportDirectory;                 // "Quorvin" in the user's data folder
    Defaults* defaults = nullptr;             // outlives the Library
    std::shared_ptr<Clock> clock;
    IdleMonitor::Readings idleReadings;
    // Shared with whoever else reads the machine's volumes.
    std::shared_ptr<VolumeService> volumes;
    // Ejects drives and cards; the system's (UDisks2, else umount) when null.
    std::shared_ptr<VolumeEjector> ejector;
    // Asks for a folder to add; none in tools and tests that add folders by path.
    std::shared_ptr<FolderChooser> folderChooser;
    // Makes the watcher of a folder source; an inotify watcher when empty.
    ChangeWatcher::WatcherFactory makeWatcher;
    // The work of the two workers; tests pass stubs.
    WorkerControl::Bodies workerBodies;
    // False for tools that drive a few operations by hand: the index is opened, but neither
    // the start-up task nor the status ticker runs, so nothing is migrated, scanned or added.
    bool startUp = true;
    // Whether start-up adds sources of its own: on a first start (and whenever no source is left)
    // the home folder and the photo library, and on every start the folders named after "--add"
    // in `arguments`. Off for tests and tools that bring their own sources.
    bool addsSources = false;
    QStringList arguments;   // the program's command line, the program's name first
    // Told of an error the program cannot go on after (an index that cannot be opened or
    // upgraded); the Library stops its start-up, and the index file is left as it is. The
    // default writes the text to standard error and ends the event loop with exit code 1.
    std::function<void(const QString& message)> fatalStop = reportFatalStop;
    // Other applications, the file manager and the clipboard; the system's when null.
    std::shared_ptr<Desktop> desktop;
    // The cloud drive; this computer's (none) when null.
    std::shared_ptr<CloudFiles> cloud;
    // The share menu, which the views provide; nothing is shared without one.
    std::shared_ptr<SharePicker> sharePicker;

    // Starts the program again with its command line and ends this one, after a rebuild of a damaged
    // index has moved the file aside.
    std::function<void()> restart = restartProgram;

    static LibraryServices system();
    static void reportFatalStop(const QString& message);
    static void restartProgram();
};
