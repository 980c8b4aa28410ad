#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/engine/CardImport.h"
#include "Pellmar/library/engine/ChangeWatcher.h"
#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/engine/FullPreviewWorker.h"
#include "Pellmar/library/engine/QuickIndexWorker.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/core/SearchPanel.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/CloudFiles.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/platform/VolumeEjector.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>

LibraryServices LibraryServices::system()
{
    // Without HOME (and no absolute XDG_DATA_HOME) Qt takes "/" for the home folder, which would put
    // the index at the root of the file system: refuse to start instead.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()
        || (qEnvironmentVariableIsEmpty("HOME") && !QDir::isAbsolutePath(qEnvironmentVariable("XDG_DATA_HOME")))) {
        QTextStream(stderr) << "quorvin: cannot start: HOME is not set, so there is no folder for its data; "
                               "set HOME (or XDG_DATA_HOME)" << Qt::endl;
        std::exit(EXIT_FAILURE);
    }
    LibraryServices services;
    services.supportDirectory = dataHome + QStringLiteral("/Quorvin");
    services.defaults = &Defaults::standard();
    services.clock = std::make_shared<RealClock>();
    services.idleReadings = IdleMonitor::Readings::system();
    services.volumes = std::make_shared<SystemVolumeService>();
    services.workerBodies.fullPreviews = fullPreviewWorker(FullRenderers::system(*services.defaults));
    services.workerBodies.quickIndex = quickIndexWorker;
    services.addsSources = true;
    services.arguments = QCoreApplication::arguments();
    return services;
}

void LibraryServices::reportFatalStop(const QString& message)
{
    QTextStream(stderr) << "quorvin: " << message << Qt::endl;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

Library::Library(QObject* parent)
    : Library(Services::system(), parent)
{
}

Library::Library(Services services, QObject* parent)
    : QObject(parent)
    , supportDirectory_(std::move(services.supportDirectory))
    , proxyDirectory_(supportDirectory_ + QStringLiteral("/Proxies"))
    , defaults_(services.defaults)
    , clock_(std::move(services.clock))
    , volumes_(std::move(services.volumes))
    , ejector_(services.ejector ? std::move(services.ejector) : systemVolumeEjector())
    , folderChooser_(std::move(services.folderChooser))
    , fatalStop_(std::move(services.fatalStop))
    , desktop_(services.desktop ? std::move(services.desktop) : systemDesktop())
    , cloud_(services.cloud ? std::move(services.cloud) : noCloudDrive())
    , sharePicker_(std::move(services.sharePicker))
    , addsSources_(services.addsSources)
    , arguments_(std::move(services.arguments))
{
    readViewSettings();
    idle_ = std::make_unique<IdleMonitor>(std::move(services.idleReadings), *defaults_, clock_, pools_);

    // Creates "Quorvin" too on a first run; an existing folder is no error.
    QDir().mkpath(proxyDirectory_);
    registerDefaults();
    const bool indexOpen = openIndex();
    workers_ = std::make_unique<WorkerControl>(*this, std::move(services.workerBodies));
    cardImport_ = std::make_unique<CardImport>(*this);
    connect(this, &Library::changed, this, [this](Prop property) {
        switch (property) {
        case Prop::selectedIDs:
        case Prop::selection:
        case Prop::locations:
        case Prop::itemLocations:
        case Prop::online:
        case Prop::sources:
            refreshFileFacts();
            break;
        default:
            break;
        }
    });
    changeWatcher_ = std::make_unique<ChangeWatcher>(*this, volumes_, std::move(services.makeWatcher));
    // Without the start-up, whoever made this Library has given the index its tables.
    indexMigrated = !services.startUp;
    if (!indexOpen || !services.startUp)
        return;

    // Start-up begins once construction has returned, whether or not the migration would finish at once.
    QMetaObject::invokeMethod(this, [this] { Tasks::start(startupTask()); }, Qt::QueuedConnection);

    // Delivered on this thread; the connection ends with the Library.
    mountObservers.append(connect(volumes_.get(), &VolumeService::volumesChanged, this,
                                  [this] { Tasks::start(volumesChanged()); }));

    TaskHandle ticker;
    Tasks::startLongLived(statusTicker(ticker.token()));
    setTicker(ticker);
}

Library::~Library()
{
    for (const std::optional<TaskHandle>& task : {ticker_, worker_, fullWorker_, importTask}) {
        if (task)
            task->cancel();
    }
    changeWatcher_->stopWatching();
    // A query still running (a panel count over a large index takes seconds) would keep the GUI
    // thread here while the connections close; interrupted, it and every queued job fail at once.
    for (Index* connection : {index_.get(), readIndex_.get(), searchPanel_ ? &searchPanel_->connection() : nullptr}) {
        if (connection)
            connection->database().interrupt();
    }
    if (reader_)
        reader_->interrupt();
}

void Library::readViewSettings()
{
    sort_ = sortFieldFromRawValue(defaults_->string(QStringLiteral("sort")).value_or(QString()))
                .value_or(SortField::captured);
    ascending_ = defaults_->boolean(QStringLiteral("ascending"));
    workspaceID_ = defaults_->string(QStringLiteral("workspace")).value_or(Index::everythingWorkspaceID);
    hiddenSources_ = defaults_->stringList(QStringLiteral("hiddenSources"));
    hiddenSmart_ = defaults_->stringList(QStringLiteral("hiddenSmart"));
    importDefault_ = defaults_->string(QStringLiteral("importDefault"));
}

void Library::registerDefaults()
{
    defaults_->registerDefaults({
        {QStringLiteral("openInQuorvin"), true},
        {QStringLiteral("confirmTrash"), true},
        {QStringLiteral("fullPreviews"), QStringLiteral("idle")},
        {QStringLiteral("notOnBattery"), true},
        {QStringLiteral("proxySize"), 2048},
        {QStringLiteral("videoProxy"), 720},
    });
}

bool Library::openIndex()
{
    const QString path = supportDirectory_ + QStringLiteral("/index.sqlite");
    try {
        index_ = std::make_unique<Index>(path, Index::Access::writer);
        readIndex_ = std::make_unique<Index>(path, Index::Access::readOnly);
        searchPanel_ = std::make_unique<SearchPanel>(std::make_unique<Index>(path, Index::Access::readOnly));
        statusIndex_ = std::make_unique<Index>(path, Index::Access::readOnly);
        treesIndex_ = std::make_unique<Index>(path, Index::Access::readOnly);
        lookupIndex_ = std::make_unique<Index>(path, Index::Access::readOnly);
    } catch (const DatabaseError& error) {
        fatalStop_(error.description());
        return false;
    }
    try {
        reader_ = std::make_unique<Database>(path);
    } catch (const DatabaseError&) {
        // The selection's locations are then read without it.
    }
    return true;
}
