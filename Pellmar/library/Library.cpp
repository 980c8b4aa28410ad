#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/IndexHealth.h"
#include "Pellmar/library/engine/CardImport.h"
#include "Pellmar/library/engine/ChangeWatcher.h"
#include "Pellmar/library/engine/FullPreviewBuild.h"
#include "Pellmar/library/engine/FullPreviewWorker.h"
#include "Pellmar/library/engine/IndexRepair.h"
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
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>

#include <sys/stat.h>

namespace {

// The index and the previews show every photo, so the support folder is the user's alone: made
// so, and tightened when an earlier run made it under a looser umask.
void makePrivateFolder(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

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

void LibraryServices::restartProgram()
{
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1)))
        QTextStream(stderr) << "quorvin: could not start again; open Quorvin yourself" << Qt::endl;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
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

    makePrivateFolder(supportDirectory_);
    // An existing folder is no error.
    QDir().mkpath(proxyDirectory_);
    registerDefaults();
    repair_ = std::make_unique<IndexRepair>(*this, std::move(services.restart));
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
    if (repair_->health()->damage()) {
        // Nothing runs on a damaged index; the window asks the user what to do.
        QMetaObject::invokeMethod(this, [this] { Q_EMIT startupFinished(); }, Qt::QueuedConnection);
        return;
    }

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
    const std::shared_ptr<IndexHealth>& health = repair_->health();
    const auto open = [&](const QString& file) {
        const auto connection = [&](Index::Access access) {
            auto index = std::make_unique<Index>(file, access);
            index->setHealth(health);
            return index;
        };
        index_ = connection(Index::Access::writer);
        readIndex_ = connection(Index::Access::readOnly);
        searchPanel_ = std::make_unique<SearchPanel>(connection(Index::Access::readOnly));
        statusIndex_ = connection(Index::Access::readOnly);
        treesIndex_ = connection(Index::Access::readOnly);
        lookupIndex_ = connection(Index::Access::readOnly);
    };
    // Empty stand-ins keep the program up on a damaged file, which is never opened, while the window
    // asks the user what to do; the writer refuses every job.
    const auto openStandIns = [&](const QString& damage) {
        health->noteDamage(damage);
        open(QStringLiteral(":memory:"));
        return true;
    };
    // Opened on an index that lost its contents, SQLite would take it for a new one and write into it.
    if (IndexRepair::lostItsContents(path, proxyDirectory_))
        return openStandIns(QStringLiteral("the file is empty, while the previews of its items are still there"));
    try {
        open(path);
    } catch (const DatabaseError& error) {
        if (!error.isDamage()) {
            fatalStop_(IndexRepair::openFailureText(path, error));
            return false;
        }
        return openStandIns(error.description());   // a file that is no database
    }
    try {
        reader_ = std::make_unique<Database>(path);
    } catch (const DatabaseError&) {
        // The selection's locations are then read without it.
    }
    return true;
}
