#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/library/frame/Cancellation.h"
#include "Pellmar/media/Watcher.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Library;
class PhotosObserver;
class VolumeService;

// Keeps the index in step with the disk and the photo library without rescanning everything.
// One watcher per online folder source reports the folders in which something changed; the folders
// of a burst are collected for 2 s after the first report and then listed again in one change pass,
// whose differences reach the index in one write of file rows and one of folder rows. A photo
// library notice schedules a reconciliation of the photo library source 3 s later; notices that
// arrive meanwhile give exactly one more.
//
// Lives on the GUI thread, owned by its Library. Watchers are created and stopped on pool threads,
// so a watcher still setting up on a slow drive never holds the window.
class ChangeWatcher : public QObject {
    Q_OBJECT
public:
    // Makes the watcher of one folder tree; called on a pool thread.
    using WatcherFactory = std::function<std::shared_ptr<Watcher>(const QString& root, WatchHandler handler)>;

    ChangeWatcher(Library& library, std::shared_ptr<VolumeService> volumes, WatcherFactory makeWatcher);
    ~ChangeWatcher() override;
    ChangeWatcher(const ChangeWatcher&) = delete;
    ChangeWatcher& operator=(const ChangeWatcher&) = delete;

    // Watches the roots of the online folder sources (a watcher stays while its source stays
    // online), and registers the photo library observer once access is granted and a photo library
    // source exists.
    void startWatching();
    // Stops every watcher off the GUI thread and cancels the waits of the passes; the Library calls
    // it as it goes away, while its thread pools still take jobs.
    void stopWatching();

    // Records what a watcher reported for a source and schedules the change pass. An event of the
    // root itself (WatchFlags::rootChanged) is dropped; mustScanSubfolders asks for a deep listing,
    // and with catchUp for a catch-up instead: only the folders whose modification time differs from
    // the index's are listed again, and the files' own stamps are checked by a background pass;
    // notWatched puts the source in the Library's unwatchedSources while its watcher lives.
    void noteFolderChanges(const QString& sourceID, const QStringList& paths, const QList<quint32>& flags);
    // Schedules a photo library pass, or one more after the pending or running one.
    void notePhotosChange();

    // The ids of the sources that have a watcher.
    QStringList watchedSources() const;
    // The pending or running change pass, and the photo library pass; none when idle.
    const std::optional<TaskHandle>& changeTask() const { return changeTask_; }
    const std::optional<TaskHandle>& photosTask() const { return photosTask_; }
    // Directories reported since the last pass began, by source id.
    const QHash<QString, QSet<QString>>& changedDirectories() const { return changedDirectories_; }
    const QHash<QString, QSet<QString>>& deepDirectories() const { return deepDirectories_; }
    // The running background passes over the stored files' stamps, by source id.
    const QHash<QString, TaskHandle>& stampPasses() const { return stampPasses_; }

Q_SIGNALS:
    // A folder change pass or a photo library pass has ended, whatever it did.
    void passEnded();
    void photosPassEnded();

private:
    struct WatchSlot;
    struct Listing;

    // Stops a source's watcher off the GUI thread, or keeps one still being made from starting.
    void dropWatcher(const std::shared_ptr<WatchSlot>& slot);
    void startChangeTask();
    QCoro::Task<> changeTaskBody(CancelToken token);
    QCoro::Task<> applyChanges();
    // Lists one reported directory of a source again; nothing when it is dropped.
    QCoro::Task<std::optional<Listing>> listDirectory(Source source, QString reported, bool deep);
    // The absolute paths of the folders of a source whose recorded modification time differs from
    // the disk's (each to be listed again, not deep), with its root; none when the index records no
    // folder of the source, and the root is then listed deep.
    QCoro::Task<std::optional<QStringList>> foldersToCatchUp(Source source);
    // Compares the stored stamps of a source's files with the disk's in small steps at background
    // priority, and reports the folders of the files that differ for the next change pass.
    void startStampPass(const Source& source);
    QCoro::Task<> stampPassBody(Source source, TaskHandle handle);
    // Puts a source's directories back for the next pass.
    void requeue(const QString& sourceID, const QSet<QString>& paths, const QSet<QString>& deep,
                 const QSet<QString>& catchUp);
    bool scanRunning(const Source& source) const;

    void startPhotosTask();
    QCoro::Task<> photosTaskBody(CancelToken token);
    void photosPassFinished();
    void scanningChanged();

    // Adds the mount points the volumes list now to those seen during this run.
    void rememberMountPoints();

    Library& library_;
    std::shared_ptr<VolumeService> volumes_;
    WatcherFactory makeWatcher_;
    QHash<QString, std::shared_ptr<WatchSlot>> watchers_;   // by source id
    QHash<QString, QSet<QString>> changedDirectories_;
    QHash<QString, QSet<QString>> deepDirectories_;
    QHash<QString, QSet<QString>> catchUpDirectories_;
    QHash<QString, TaskHandle> stampPasses_;
    std::optional<TaskHandle> changeTask_;
    std::shared_ptr<PhotosObserver> photosObserver_;
    std::optional<TaskHandle> photosTask_;
    bool photosAgain_ = false;
    // A photo library pass found a scan running: one pass follows when the scans have ended.
    bool photosAfterScan_ = false;
    // Every mount point seen during this run: one that is gone leaves an empty folder, which says
    // nothing about the files that were on its drive.
    QSet<QString> mountPoints_;
    // Ends the listings of a pass at their next folder once the Library goes away.
    TaskHandle listingStop_;
};
