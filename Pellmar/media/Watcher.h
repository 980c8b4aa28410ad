#pragma once

// Watches one folder tree for changes and hands each batch of changed folders to a handler.
// A watcher decides nothing about the paths: it only reports where something changed.

#include "Pellmar/media/FaultInjection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>

// One flag word per delivered path.
namespace WatchFlags {
// Changes below this folder may have been missed (the event queue overflowed, or the folder could
// not be watched): rescan all of it.
inline constexpr quint32 mustScanSubfolders = 0x01;
// The system refused to watch this folder (or one below it), as when it allows no more watches:
// changes there are not reported. Comes with mustScanSubfolders.
inline constexpr quint32 notWatched = 0x02;
// The report that follows the placing of the watches: what changed while nothing watched may lie
// anywhere below this folder, and is found by comparing it with the index. Comes with mustScanSubfolders.
inline constexpr quint32 catchUp = 0x04;
// The watched root itself was removed, renamed or unmounted.
// Reported once; the watcher then delivers nothing more.
inline constexpr quint32 rootChanged = 0x20;
} // namespace WatchFlags

// Receives the absolute paths of the folders in which something changed (no trailing "/"), with
// their flags in the same order. Called on the watcher's own thread, one batch at a time.
using WatchHandler = std::function<void(const QStringList& paths, const QList<quint32>& flags)>;

class Watcher {
public:
    virtual ~Watcher() = default;

    // Ends delivery: when it returns, no handler call is running or will start. A second call does
    // nothing.
    virtual void stop() = 0;
};

// Changes are collected for this long after the first one before they are handed over as one batch.
inline constexpr int watchLatencyMilliseconds = 1000;

// A recursive inotify watcher: one watch per folder the scanning rules admit, new folders watched
// as they appear, renamed and deleted ones dropped. Its thread is named after the queue label
// "com.davrenoskil.pellmar.watch"; the watches are set up there, never on the caller's thread.
// Changes made while the watches are set up have no events of their own, so once they are in place
// the root is delivered at once with mustScanSubfolders and catchUp (and a folder that appears later is
// reported with that flag once its own watches are in place). Events from before construction are
// never delivered. A watcher that cannot start stays inert.
// Its handler may call stop(), but must not destroy the watcher.
class InotifyWatcher : public Watcher {
public:
    InotifyWatcher(const QString& path, WatchHandler handler, int latencyMilliseconds = watchLatencyMilliseconds);
    ~InotifyWatcher() override;
    InotifyWatcher(const InotifyWatcher&) = delete;
    InotifyWatcher& operator=(const InotifyWatcher&) = delete;

    void stop() override;

    // True once the watches that existed at construction are set up (or the watcher gave up).
    bool isReady() const;

    // Fault injection for tests: behaves as if the kernel's event queue had overflowed.
    void injectQueueOverflow();

private:
    class Loop;
    std::unique_ptr<Loop> loop_;
};

// Watching a folder fails, as when the kernel refuses more watches (tests only).
using WatchFaultInjection = FaultInjection<struct FolderWatchFault>;
