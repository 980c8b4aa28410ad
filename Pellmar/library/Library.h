#pragma once

#include "Pellmar/index/Index.h"
#include "Pellmar/index/Model.h"
#include "Pellmar/library/frame/Cancellation.h"
#include "Pellmar/library/engine/IdleMonitor.h"
#include "Pellmar/library/engine/StatusCounters.h"
#include "Pellmar/library/engine/WorkerControl.h"
#include "Pellmar/library/core/QuickLookSource.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/library/frame/Observed.h"
#include "Pellmar/library/LibraryServices.h"
#include "Pellmar/library/LibraryValues.h"

#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

class CardImport;
class ChangeWatcher;
class Database;
struct FolderAddition;
class IndexRepair;
class SearchPanel;
class ShareAnchor;

// The one object through which every view reads and changes the system. Lives on the GUI thread;
// every observed property changes there and announces itself with changed(). Its operations
// live by topic in Pellmar/library/core (the user's actions) and Pellmar/library/engine (background work).
//
// Coroutines of Library wrap every co_await in an AliveGuard (frame/AliveGuard.h), which ends them
// there once the Library is gone; the destructor cancels the long-lived tasks, which then end at the
// next turn of the event loop.
class Library : public QObject {
    Q_OBJECT
public:
    using Services = LibraryServices;

    // The observed properties, in declaration order.
    enum class Prop {
        sources, online, items, query, sourceFilter, pathFilter, smartFilter, favoritesOnly, notBackedUp,
        kindFilter, notBackedUpCount, selectedIDs, selectedCards, importSubset, trashingGroup, relinkNote,
        favorites, photoFavorites, favoriteCount, summary, sort, ascending, pinned, workspaces, workspaceID,
        allCount, editingWorkspace, deletingWorkspace, hiddenSources, hiddenSmart,
        stoppingSource,
        heroItems, devices, deviceFiles, selectedDevice, selectedCardFile, importDefault, importDevice,
        importJob, importResult,
        onlyHere, trees, expanded, copies, selection, fullscreen, itemLocations, renaming, newName, trashing,
        locations, probable, fileFacts,
        status, fullStatus, itemCount, scanning, scanFound, processing, fullProcessing, fullPaused,
        fullWaiting, inFlight, fullInFlight, sourceProgress, rate, fullRate, lastError, indexDamage, verification,
        failures, unwatchedSources, samples, fullSamples,
        ticker, worker, rerun, fullWorker,
    };
    Q_ENUM(Prop)

    static constexpr double distantPast = -std::numeric_limits<double>::infinity();

    // The application's Library, on the user's folders and settings.
    explicit Library(QObject* parent = nullptr);
    // Opens the index in `services.supportDirectory` and starts the start-up task. Stops the
    // process when either Index connection cannot be opened.
    explicit Library(Services services, QObject* parent = nullptr);
    ~Library() override;

    // Browsing and filters
    QUORVIN_OBSERVED(sources, setSources, QList<Source>);
    QUORVIN_OBSERVED(online, setOnline, QSet<QString>);
    QUORVIN_OBSERVED(items, setItems, QList<Item>);
    QUORVIN_OBSERVED(query, setQuery, QString);
    QUORVIN_OBSERVED(sourceFilter, setSourceFilter, std::optional<QString>);
    QUORVIN_OBSERVED(pathFilter, setPathFilter, QString);
    QUORVIN_OBSERVED(smartFilter, setSmartFilter, std::optional<SmartFilter>);
    QUORVIN_OBSERVED(favoritesOnly, setFavoritesOnly, bool) = false;
    QUORVIN_OBSERVED(notBackedUp, setNotBackedUp, bool) = false;
    QUORVIN_OBSERVED(kindFilter, setKindFilter, std::optional<MediaKind>);

public:
    QHash<QString, MediaKind> kindFilters;   // by query key
    QuickLookSource quickLookSource;
    bool rescanningAll = false;

    QUORVIN_OBSERVED(notBackedUpCount, setNotBackedUpCount, qint64) = 0;
    QUORVIN_OBSERVED(selectedIDs, setSelectedIDs, QSet<QString>);
    QUORVIN_OBSERVED(selectedCards, setSelectedCards, QSet<QString>);
    QUORVIN_OBSERVED(importSubset, setImportSubset, QSet<QString>);
    QUORVIN_OBSERVED_TUPLE(trashingGroup, setTrashingGroup, std::optional<QList<ItemCopy>>);
    QUORVIN_OBSERVED(relinkNote, setRelinkNote, std::optional<QString>);

public:
    std::optional<QString> cursor;

    // Favorites, sort and workspaces
    QUORVIN_OBSERVED(favorites, setFavorites, QSet<QString>);
    QUORVIN_OBSERVED(photoFavorites, setPhotoFavorites, QSet<QString>);
    QUORVIN_OBSERVED(favoriteCount, setFavoriteCount, qint64) = 0;
    QUORVIN_OBSERVED(summary, setSummary, LocationSummary);
    QUORVIN_OBSERVED(sort, setSort, SortField) = SortField::captured;
    QUORVIN_OBSERVED(ascending, setAscending, bool) = false;
    QUORVIN_OBSERVED(pinned, setPinned, QStringList);
    QUORVIN_OBSERVED(workspaces, setWorkspaces, QList<Workspace>);
    QUORVIN_OBSERVED(workspaceID, setWorkspaceID, QString);
    QUORVIN_OBSERVED(allCount, setAllCount, qint64) = 0;
    QUORVIN_OBSERVED(editingWorkspace, setEditingWorkspace, std::optional<Workspace>);
    QUORVIN_OBSERVED(deletingWorkspace, setDeletingWorkspace, std::optional<Workspace>);
    QUORVIN_OBSERVED_EDITABLE(hiddenSources, setHiddenSources, editHiddenSources, QStringList);
    QUORVIN_OBSERVED_EDITABLE(hiddenSmart, setHiddenSmart, editHiddenSmart, QStringList);

public:
    // Item actions and watching
    QHash<QString, AppChoices> appCache;
    QPointer<QObject> picker;
    QHash<QString, QPointer<ShareAnchor>> anchors;   // written by ShareAnchor only
    bool pointerInGrid = false;
    QHash<QString, QString> queries;   // by query key
    qint64 searchGeneration = 0;
    // False until the index has its tables; a search asked for before then is left to the reload that follows.
    bool indexMigrated = false;

    QUORVIN_OBSERVED(stoppingSource, setStoppingSource, std::optional<Source>);

public:
    double lastAutoRefresh = distantPast;
    std::optional<double> clickTime;

    // Devices and import
    QUORVIN_OBSERVED(heroItems, setHeroItems, QList<Item>);
    QUORVIN_OBSERVED(devices, setDevices, QList<Device>);
    QUORVIN_OBSERVED(deviceFiles, setDeviceFiles, QHash<QString, QList<CardFile>>);
    QUORVIN_OBSERVED(selectedDevice, setSelectedDevice, std::optional<QString>);
    QUORVIN_OBSERVED(selectedCardFile, setSelectedCardFile, std::optional<CardFile>);
    QUORVIN_OBSERVED(importDefault, storeImportDefault, std::optional<QString>);
    QUORVIN_OBSERVED(importDevice, setImportDevice, std::optional<Device>);
    QUORVIN_OBSERVED_EDITABLE(importJob, setImportJob, editImportJob, std::optional<ImportJob>);
    QUORVIN_OBSERVED(importResult, setImportResult, std::optional<ImportResult>);

public:
    std::optional<TaskHandle> importTask;
    QList<QMetaObject::Connection> mountObservers;

    // Scope, sidebar and selection detail
    QUORVIN_OBSERVED(onlyHere, storeOnlyHere, bool) = false;
    QUORVIN_OBSERVED(trees, setTrees, QList<FolderNode>);
    QUORVIN_OBSERVED_EDITABLE(expanded, setExpanded, editExpanded, QSet<QString>);
    QUORVIN_OBSERVED(copies, setCopies, QHash<QString, qint64>);
    QUORVIN_OBSERVED(selection, setSelection, std::optional<Item>);
    QUORVIN_OBSERVED(fullscreen, setFullscreen, bool) = false;
    QUORVIN_OBSERVED(itemLocations, setItemLocations, QHash<QString, QList<Location>>);
    QUORVIN_OBSERVED_TUPLE(renaming, setRenaming, std::optional<ItemCopy>);
    QUORVIN_OBSERVED(newName, setNewName, QString);
    QUORVIN_OBSERVED_TUPLE(trashing, setTrashing, std::optional<ItemCopy>);
    QUORVIN_OBSERVED(locations, setLocations, QList<Location>);
    QUORVIN_OBSERVED(probable, setProbable, QList<Location>);

public:
    using CloudCopy = ::CloudCopy;
    using FileFacts = ::FileFacts;
    // By item id: the selected items and the inspected one.
    QUORVIN_OBSERVED(fileFacts, setFileFacts, QHash<QString, FileFacts>);

public:
    // The facts of the item as last looked at; for an item outside the selection, what the online
    // sources tell without looking at the disk (a local copy on an online source counts as reachable).
    FileFacts fileFactsOf(const Item& item) const;
    // Looks at the files of the selected and inspected items again, once per turn of the event loop.
    void refreshFileFacts();
    QCoro::Task<> loadFileFacts();
    bool fileFactsPending = false;
    quint64 fileFactsGeneration = 0;

    // Status and workers
    QUORVIN_OBSERVED(status, setStatus, QueueStatus);
    QUORVIN_OBSERVED(fullStatus, setFullStatus, FullStatus);
    QUORVIN_OBSERVED(itemCount, setItemCount, qint64) = 0;
    QUORVIN_OBSERVED(scanning, setScanning, std::optional<QString>);
    QUORVIN_OBSERVED(scanFound, setScanFound, qint64) = 0;
    QUORVIN_OBSERVED(processing, setProcessing, bool) = false;
    QUORVIN_OBSERVED(fullProcessing, setFullProcessing, bool) = false;
    QUORVIN_OBSERVED(fullPaused, setFullPaused, bool) = false;
    QUORVIN_OBSERVED(fullWaiting, setFullWaiting, bool) = false;
    QUORVIN_OBSERVED(inFlight, setInFlight, QStringList);
    QUORVIN_OBSERVED(fullInFlight, setFullInFlight, QStringList);
    QUORVIN_OBSERVED_TUPLE(sourceProgress, setSourceProgress, QHash<QString, Index::SourceProgress>);
    QUORVIN_OBSERVED(rate, setRate, double) = 0;
    QUORVIN_OBSERVED(fullRate, setFullRate, double) = 0;
    QUORVIN_OBSERVED(lastError, setLastError, std::optional<QString>);
    QUORVIN_OBSERVED(indexDamage, setIndexDamage, std::optional<QString>);   // what damaged the index, for the window
    QUORVIN_OBSERVED_TUPLE(verification, setVerification, std::optional<SourceVerification>);
    QUORVIN_OBSERVED_TUPLE(failures, setFailures, QList<Index::FileFailure>);
    // The ids of the watched sources with folders the system refused to watch.
    QUORVIN_OBSERVED(unwatchedSources, setUnwatchedSources, QSet<QString>);
    QUORVIN_OBSERVED_TUPLE(samples, setSamples, QList<Sample>);
    QUORVIN_OBSERVED_TUPLE(fullSamples, setFullSamples, QList<Sample>);

    // Connections and folders (constants) and workers
public:
    Index& index() const { return *index_; }
    Index& readIndex() const { return *readIndex_; }
    // The read-only connection of the search panel's queries.
    Index& panelIndex() const;
    // The read-only connections of the status counters and of the sidebar's source trees: their
    // counts over the whole index never hold up the grid's queries on readIndex, nor each other.
    Index& statusIndex() const { return *statusIndex_; }
    Index& treesIndex() const { return *treesIndex_; }
    // The read-only connection of the quick-index worker's item lookups, which go on while the
    // writer commits the batch before.
    Index& lookupIndex() const { return *lookupIndex_; }
    // Null when the plain connection could not be opened.
    Database* reader() const { return reader_.get(); }
    IdleMonitor& idle() const { return *idle_; }
    const QString& supportDirectory() const { return supportDirectory_; }
    const QString& proxyDirectory() const { return proxyDirectory_; }

private:
    std::unique_ptr<Index> index_;
    std::unique_ptr<Index> readIndex_;
    std::unique_ptr<SearchPanel> searchPanel_;
    std::unique_ptr<Index> statusIndex_;
    std::unique_ptr<Index> treesIndex_;
    std::unique_ptr<Index> lookupIndex_;
    std::unique_ptr<Database> reader_;
    std::unique_ptr<IdleMonitor> idle_;
    QString supportDirectory_;
    QString proxyDirectory_;

    QUORVIN_OBSERVED(ticker, setTicker, std::optional<TaskHandle>);
    QUORVIN_OBSERVED(worker, setWorker, std::optional<TaskHandle>);
    QUORVIN_OBSERVED(rerun, setRerun, bool) = false;
    QUORVIN_OBSERVED(fullWorker, setFullWorker, std::optional<TaskHandle>);

public:
    // Platform services and background threads.
    Defaults& defaults() const { return *defaults_; }
    Clock& clock() const { return *clock_; }
    Desktop& desktop() const { return *desktop_; }
    CloudFiles& cloud() const { return *cloud_; }
    // For a task whose sleep may end after the Library is gone.
    std::shared_ptr<Clock> sharedClock() const { return clock_; }
    TaskPools& pools() { return pools_; }

    // The machine's volumes as last read.
    VolumeService& volumes() const { return *volumes_; }

    // Sources
    // Reads sources, workspaces, pins and favorites again, then restarts what hangs on them.
    QCoro::Task<> reload();
    // Moves sources whose volume came back under another mount point; one relink at a time, and a
    // request during one runs it once more afterwards.
    QCoro::Task<> relinkSources();
    bool relinking = false;
    bool relinkAgain = false;
    // After a mount or an unmount: relinks, then lists the devices again.
    QCoro::Task<> volumesChanged();
    // The plugged-in drives and cards that are not indexed, from the volumes; drops what belongs to
    // volumes that went away and starts listing the media files of new ones.
    void refreshDevices();
    // Walks the folders of each online folder source that has no folder rows yet, one source at a time.
    QCoro::Task<> walkNewSources();
    // Scans each online folder source that has not had its complete scan ("allFilesSources") once;
    // a call during a pass returns at once.
    QCoro::Task<> rescanAllFiles();
    // On a first start, or when no source is left: the home folder and the photo library.
    QCoro::Task<> addDefaultSources();
    // The folders after "--add" on the command line, in their order.
    QCoro::Task<> addLaunchSources();
    // Makes the photo library a source when none is, then scans the photo library source.
    QCoro::Task<> addPhotosSource();
    // Forgets the source with its files, folders, memberships, pins and the items and preview
    // files that were only its own, then reloads (also when the removal failed or the id is unknown).
    QCoro::Task<> removeSource(QString sourceID);
    // Brings the index of the source in line with its files, then lets the quick-index worker index
    // what is new; returns when the walk and its writes are done. Failures go to lastError.
    QCoro::Task<> scan(Source source);
    // Compares a fresh walk of the source with the index without changing it; sets verification.
    QCoro::Task<> rescan(Source source);
    // Asks the user for a folder and indexes it.
    void addSource();
    // Makes the folder a source of the current workspace and walks it. A folder in a source (or in one
    // being added) rescans that source and shows the folder; a folder that holds sources, a missing
    // path, a file and a name that is not UTF-8 are refused with a sentence in lastError.
    QCoro::Task<> indexFolder(QString folder, std::optional<QString> name);
    QHash<QString, std::shared_ptr<FolderAddition>> foldersBeingAdded;   // by cleaned path
    // Adds a folder source to the sources that have had their complete scan.
    void rememberAllFilesSource(const Source& source);
    // Folders of sources that walks found on a device of their own, as the index keeps them: every
    // walk is given them, so that one a drive that is away left empty keeps its rows.
    QSet<QString> knownMountPoints;
    // Adds what a walk found to knownMountPoints and to the index.
    QCoro::Task<> rememberMountPoints(QStringList found);

    // Status
    // Refreshes the status counters once a second until cancelled.
    QCoro::Task<> statusTicker(CancelToken token);
    // Refreshes every status counter from the index, and searches again when quick indexing has
    // added items; never throws (a failed query keeps its property's value). Other parts await it
    // after their own writes; the ticker allows the slow counters' results within their interval.
    QCoro::Task<> refreshStatus(Staleness allowed = Staleness::current);
    // The sidebar trees of every source, from the index; a source whose tree cannot be read is left out.
    QCoro::Task<> refreshTrees();
    // The recent failures of quick indexing; empty when they cannot be read.
    QCoro::Task<> loadFailures();
    StatusCounters statusCounters;

    // Worker control, and what stops them for good when the index is damaged
    WorkerControl& workers() { return *workers_; }
    IndexRepair& repair() { return *repair_; }

    // Change watching
    // Watches the roots of the online folder sources, in place of what was watched before.
    void startWatching();
    ChangeWatcher& changeWatcher() { return *changeWatcher_; }

    // Search
    // The member keys of the current workspace, sorted; nothing for the built-in workspace, in
    // which every source counts, and an empty list for an id that no workspace has.
    std::optional<QStringList> workspaceMembers() const;
    // Fills the grid, then the panel, for the browsing state as it stands at the call. Searches are
    // numbered, and each applies its results only while no newer one has started. A failed query
    // ends the search with its text in lastError; what was applied stays.
    QCoro::Task<> search();

    // Navigation and filters. Each way of leaving a sidebar position first remembers its search text
    // and kind filter under queryKey(); arriving at a position brings back what it remembered.
    QString queryKey() const;
    void rememberQuery();
    // A source, a folder or smart row of it, or (without a source) the whole workspace; then searches.
    void setFilter(std::optional<QString> source, const QString& path, std::optional<SmartFilter> smart);
    void showFavorites();
    void showNotBackedUp();
    // Shows the device's files in place of the grid, with the text and kind filter it remembered.
    void selectDevice(const Device& device);
    void setOnlyHere(bool on);
    void setSort(SortField field, bool ascending);
    // Shows a note about relinked sources for 8 seconds.
    void showRelinkNote(const QString& note);

    // Sidebar tree state
    std::optional<FolderNode> nodeForKey(const QString& key) const;
    // The trees of the current workspace in the order of `trees`: a whole source as its root, the
    // member folders of a source that is not whole in the code-point order of their keys.
    QList<FolderNode> workspaceTrees() const;
    // The key of the highlighted sidebar row; nothing while a device or no source is shown.
    std::optional<QString> selectedNodeID() const;
    void toggleExpanded(const FolderNode& node);

    // Workspaces, pins and sidebar visibility. Index writes are queued at the call, so they reach
    // the index in the user's order; failures go to lastError.
    void setWorkspace(const QString& id);
    QCoro::Task<> loadWorkspace(QString id);
    // A new, unsaved workspace holding every source, placed after the others.
    Workspace newWorkspace() const;
    void duplicateWorkspace(const Workspace& workspace);
    QCoro::Task<> createWorkspace(Workspace copy, Workspace copied);
    QCoro::Task<> saveWorkspace(Workspace workspace);
    void removeWorkspace(const Workspace& workspace);
    QCoro::Task<> deleteWorkspace(QString id);
    void moveWorkspace(const Workspace& workspace, int offset);
    QCoro::Task<> saveWorkspaceOrder(QList<Workspace> list);
    // Pins the node in the current workspace, or unpins it when pinned.
    void pin(const FolderNode& node);
    QCoro::Task<> savePins(QStringList keys, QString workspaceID);
    void setSourceHidden(const QString& sourceID, bool hidden);
    void setSmartHidden(SmartFilter filter, bool hidden);
    // Nothing for a new album; no target clears the default.
    void setImportDefault(const std::optional<ImportTarget>& target);

    // Memory cards: import destinations, imports, the card grid and eject
    // The stored default when it still decodes, else the home folder's "Downloads". A stored
    // folder is looked for off the GUI thread: one that is gone or on a device does not decode.
    QCoro::Task<ImportTarget> defaultImportTarget();
    // The recent destinations that still decode, newest first, looked for as above.
    QCoro::Task<QList<ImportTarget>> recentImportTargets();
    // The online folder sources that are not on a device.
    QList<Source> importLocations() const;
    QString destinationLabel(const ImportTarget& target) const;
    // Puts the destination at the front of the recent ones (at most 5, no repeats).
    void rememberDestination(const ImportTarget& target);
    // The urls of the files whose content the index already has; none when the index cannot say.
    // With `compareInFull` (originals are deleted after the import), a card file larger than its
    // quick hash reads counts as known only when no copy of its item that can be reached differs
    // from it in full.
    QCoro::Task<QSet<QString>> knownCardFiles(QList<CardFile> files, bool compareInFull = false);
    // Imports into a folder; ignored while an import runs or without files.
    void startImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter);
    // Imports the photos and videos into an existing album or a new one; ignored as above.
    void startPhotosImport(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                           std::optional<QString> newAlbumName, bool deleteAfter);
    // Scans the source that covers an import's destination folder, or adds the folder as a source.
    QCoro::Task<> indexImportDestination(QString folder);
    // Lists a card's media files again into deviceFiles.
    QCoro::Task<> relistCardFiles(Device device);
    // The files the card grid shows for the device at that path: its listing filtered by the search
    // text and in the grid's order; nothing while the card is still being listed.
    std::optional<QList<CardFile>> visibleCardFiles(const QString& device) const;
    // Ejects the drive or card, without waiting for it on the GUI thread; a refusal goes to lastError
    // as "Could not eject NAME. REASON". The device list is refreshed in either case.
    QCoro::Task<> ejectDevice(Device device);
    // The small preview of a card photo, made on first use off the GUI thread; nothing for a file
    // that is no photo or has no preview, or when the previews' private folder is refused.
    QCoro::Task<std::optional<QString>> cardPreview(CardFile file);
    // One click on a card in the grid that shows `visible`: changes selectedCards and selectedCardFile.
    void clickCard(const CardFile& file, const QList<CardFile>& visible, bool command, bool shift);

    // Selection: the grid's clicks and commands, and the inspector's detail of the selected item
    // `eventTime`: when the click happened, in seconds of the uptime clock; none without an event.
    void click(const Item& item, int clickCount, std::optional<double> eventTime, bool command, bool shift);
    // Makes the item the only selection (or clears it) and shows it in the inspector.
    void select(const std::optional<Item>& item);
    // Shows the item in the inspector and loads its detail; without one, closes the viewer too.
    void showSelection(const std::optional<Item>& item);
    // The selected item's copies, probable duplicates and current row; a load that a newer selection
    // change overtook applies nothing.
    QCoro::Task<> loadSelectionDetail(Item item);
    // Selects the run of grid items from the inspected item to this one.
    void extendSelection(const Item& item);
    // The selected items in grid order.
    QList<Item> selectedItems() const;
    void selectAll();
    QCoro::Task<> refreshSearch();
    // Logs the time since the last click under `label`; `clear` ends the measurement.
    void logClick(const QString& label, bool clear);
    // "Favorites", "Not backed up", or the source's name and the folders below it joined by " > ".
    QString locationTitle() const;
    quint64 selectionToken = 0;   // advanced by every selection change

    // Item files: the copies of an item, the one whose file can be reached, its preview files
    // (paths in the "Proxies" folder, not checked to exist)
    std::optional<QString> proxyURL(const Item& item) const;
    std::optional<QString> previewURL(const Item& item) const;
    // The tile image written beside the photo proxy when the proxy stands in for a missing preview
    // (the grid tile's picture then); whether or not it exists.
    std::optional<QString> tileImageURL(const Item& item) const;
    // The still image of the viewer and the inspector.
    std::optional<QString> imageURL(const Item& item) const;
    // Whether the in-app viewer has a picture or a playable proxy of the item.
    bool canView(const Item& item) const;
    // The item's copies: from the grid's search, the inspector, or else read from the index.
    QList<Location> locationsOf(const Item& item) const;
    // The path of a copy on an online folder source, whether or not the file exists.
    std::optional<QString> url(const Location& location) const;
    // The entry of `sources` with that id.
    std::optional<Source> sourceByID(const QString& id) const;
    // The first local copy on an online folder source whose file exists.
    std::optional<Location> reachableURL(const QList<Location>& locations) const;
    // The same, with the files looked at off the GUI thread.
    QCoro::Task<std::optional<Location>> reachableCopy(QList<Location> locations);
    // What Open in, Share and drags hand over: the reachable original, else (but for a document)
    // the proxy or the preview file that exists.
    std::optional<QString> bestFileURL(const Item& item) const;
    // The first copy that a cloud drive keeps, and whether it is downloaded.
    std::optional<CloudCopy> isCloudFile(const QList<Location>& locations) const;
    // The photo library ids of the item's copies when every copy is in the photo library.
    std::optional<QStringList> photosAssetIDs(const Item& item) const;
    bool isFavorite(const Item& item) const;

    // Opening: the preview window over reachable files, the in-app viewer, other applications
    void quickLook(const QList<Item>& items);
    // The viewer for what it can show (and for photo library items), else the default application.
    void open(const Item& item);
    // Opens the reachable original with the application of the desktop entry `app`, or the default.
    QCoro::Task<> openOriginal(Item item, std::optional<QString> app);
    void openFile(const QString& path, const std::optional<QString>& app);
    // The applications for the item's extension, asked once per extension.
    AppChoices openWithApps(const Item& item);

    // File operations. Each does its file-system half on a pool thread, with a sentence in
    // lastError when it fails, and its index half in a task that ends with refreshAfterFileChange().
    void rename(const Item& item, const Location& location, const QString& name);
    QCoro::Task<> renameFile(QString path, QString target, Location location, QString newRelativePath, Item item,
                             QString folder, Source source);
    QCoro::Task<> renameItem(Location location, QString newRelativePath, Item item, QString folder, Source source);
    // The search text of an item after its file was renamed.
    static QString searchText(const Item& item, const QString& folder, const Source& source);
    // The sidebar trees, the grid, the status counters, then the inspector's item again.
    QCoro::Task<> refreshAfterFileChange();

    // Move to Trash. The grid's delete action asks first while "confirmTrash" is on. Both ask, or
    // trash, only once the copies they would leave behind were compared with the one that goes.
    void trashSelection();
    void requestTrash(const Item& item, const Location& location);
    void requestGroupTrash();
    // Before a text or an action relies on another copy of an item: the copy at `location` is
    // compared in full with the item's other copies that can be reached. When some differ, it and
    // those equal to it become an item of their own (its key the item's quick hash followed by the
    // digest of the whole content), so that the item no longer claims copies it does not have.
    QCoro::Task<SettledCopy> settleCopy(Item item, Location location);
    // The first copy of each selected item, in grid order, that is a file on an online folder source.
    QList<ItemCopy> trashableCopies() const;
    void trash(const Item& item, const Location& location);
    QCoro::Task<> trashFile(QString path, Location location);
    QCoro::Task<> forgetTrashed(Location location);
    QCoro::Task<> moveToTrash(QList<ItemCopy> copies);

    // Paste into a folder of a folder source (`path` relative to its root, empty for the root).
    bool canPaste(const QString& sourceID, const QString& path) const;
    void paste(const QString& sourceID, const QString& path);
    // Copies the files into the folder (which must exist, and stay the same folder) under free names,
    // then scans the source.
    QCoro::Task<> pasteFiles(QStringList files, QString folder, Source source);
    // Opens a file manager window on a folder of an online folder source; nothing otherwise.
    void revealFolder(const QString& sourceID, const QString& path);

    // Index repairs. Both wait until neither worker runs before they touch previews or rows, and
    // hold back the starts asked for meanwhile until their index write is done.
    // Deletes every preview; the workers make them again.
    QCoro::Task<> resetPreviews();
    // Forgets every file, item and folder and walks the available sources again; sources,
    // workspaces, pins and favorites stay.
    QCoro::Task<> clearIndex();
    QCoro::Task<> stopWorkersAndEmptyProxies();

    // Favorites: a photo library item's flag lives in the photo library, any other item's in the
    // current workspace.
    void setFavorites(bool on, const QList<Item>& items);
    void flipFavorite(const Item& item);
    QCoro::Task<> togglePhotosFavorite(QStringList assetIDs, bool on, Item item);
    QCoro::Task<> toggleFavorite(Item item, bool on);
    QCoro::Task<> recountFavorites();

    // Handing items over: the photo library, the file manager, the clipboard, the share menu
    // Shows the item's first photo library copy: its original file selected in the file manager,
    // else the photo library's folder, with a sentence in lastError.
    QCoro::Task<> showInPhotos(Item item);
    // Whether showInPhotos can show an item's original: the photo library keeps its files in a
    // folder of its own; the views offer it only then.
    bool canShowInPhotos() const;
    QCoro::Task<> revealInFinder(Item item);
    // Puts the path of the item's file on the clipboard, even when its drive is unplugged.
    QCoro::Task<> copyPaths(Item item);
    void shareSelection(const QString& anchorKey);
    void beginRename(const Item& item, const Location& location);
    std::optional<PasteboardObject> pasteboardObject(const Item& item) const;
    void share(const QStringList& filePaths, const QString& anchorKey);
    void copySelection();
    void copySelectedItems();
    void copyItem(const Item& item);
    // Replaces the clipboard's contents with the objects; the images that cannot be read are left out.
    QCoro::Task<> writePasteboard(QList<PasteboardObject> objects);

    // Cloud copies: fetching and evicting them, then rescanning their source
    void download(const Location& location);
    // Waits until the file is downloaded (at most about five minutes), then rescans the source.
    QCoro::Task<> waitForDownload(QString path, Source source);
    void removeDownload(const Location& location);

Q_SIGNALS:
    void changed(Library::Prop property);
    // The start-up task has run its last step.
    void startupFinished();
    // quickLookSource holds new files for the preview window to show.
    void quickLookShown();

private:
    template <typename T>
    void assignObserved(T& stored, const T& value, Prop property)
    {
        if (sameObservedValue(stored, value))
            return;
        stored = value;
        Q_EMIT changed(property);
    }

    // Brings back the search text and kind filter remembered for the current position.
    void restorePosition();
    // setFilter after the old position was remembered: a workspace switch remembers under the
    // old workspace, and must not store the blank text under the new one.
    void showPosition(std::optional<QString> source, const QString& path, std::optional<SmartFilter> smart);
    void readViewSettings();
    void registerDefaults();
    // False, after a fatal stop, when the index cannot be opened.
    bool openIndex();
    QCoro::Task<> startupTask();
    QCoro::Task<> scanPhotosOnce();

    Defaults* defaults_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<VolumeService> volumes_;
    std::shared_ptr<VolumeEjector> ejector_;
    std::shared_ptr<FolderChooser> folderChooser_;
    std::function<void(const QString&)> fatalStop_;
    std::shared_ptr<Desktop> desktop_;
    std::shared_ptr<CloudFiles> cloud_;
    std::shared_ptr<SharePicker> sharePicker_;
    bool addsSources_ = false;
    QStringList arguments_;
    std::unique_ptr<WorkerControl> workers_;
    std::unique_ptr<CardImport> cardImport_;
    std::unique_ptr<ChangeWatcher> changeWatcher_;
    std::unique_ptr<IndexRepair> repair_;
    // Declared last: destroyed first, waiting for the jobs that may still use the connections.
    TaskPools pools_;
};

#undef QUORVIN_OBSERVED_EDITABLE
#undef QUORVIN_OBSERVED_TUPLE
#undef QUORVIN_OBSERVED
