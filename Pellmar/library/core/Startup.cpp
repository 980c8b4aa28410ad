#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/index/IndexHealth.h"
#include "Pellmar/library/engine/IndexRepair.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/platform/Defaults.h"

#include <QCoroFuture>
#include <QDir>

#include <algorithm>
#include <array>

QCoro::Task<> Library::startupTask()
{
    const AliveGuard alive(this);
    const double started = clock_->uptime();
    bool droppedOldSchema = false;
    try {
        droppedOldSchema = co_await alive(index_->run([](Index& index) { return index.migrate(); }));
    } catch (const DatabaseError& error) {
        // A damaged file is the window's to tell, with what the user can do about it.
        if (repair_->health()->damage()) {
            Q_EMIT startupFinished();
            co_return;
        }
        fatalStop_(IndexRepair::openFailureText(supportDirectory_ + QStringLiteral("/index.sqlite"), error));
        co_return;
    }
    indexMigrated = true;
    qCInfo(logSearch,
           "index migration call returned to the main actor %ld ms after it was made; the migrate fast path or "
           "full path line in category index has the time spent inside",
           long((clock_->uptime() - started) * 1000));

    co_await alive(repair_->takeOverFromDamagedFile());

    // A file that ended the last process while it was read fails now instead of being read again.
    ReadingMarks& marks = workers_->readingMarks();
    if (const ReadingMarks::Left left = marks.left(); !left.isEmpty()) {
        try {
            co_await alive(index_->run([left](Index& index) {
                for (const qint64 fileID : left.fileIDs)
                    index.setFileState(fileID, ReadingMarks::endedWhileReadText, FileState::failed);
                for (const QString& itemID : left.itemIDs)
                    index.setFullError(itemID, ReadingMarks::endedWhileReadText);
            }));
            marks.forgetLeft();
        } catch (const DatabaseError& error) {
            qCWarning(logIndex, "the files left being read could not be failed: %s", error.what());
        }
    }

    if (droppedOldSchema) {
        // The preview files belonged to the dropped items.
        co_await alive(pools_.run(Priority::userInitiated, [proxies = proxyDirectory_] {
            QDir(proxies).removeRecursively();
            QDir().mkpath(proxies);
        }));
    }

    static constexpr std::array steps{&Library::reload,           &Library::relinkSources,
                                      &Library::walkNewSources,   &Library::rescanAllFiles,
                                      &Library::addDefaultSources, &Library::addLaunchSources,
                                      &Library::scanPhotosOnce};
    for (const auto step : steps) {
        // Each step reports its own failures; one that escapes does not keep the later steps from running.
        try {
            co_await alive((this->*step)());
        } catch (const std::exception& error) {
            qCWarning(logSearch, "a start-up step failed: %s", error.what());
        }
    }
    Q_EMIT startupFinished();
}

// The photo library source is scanned once, at the first start that finds one. The flag is set
// before the scan, so that a crash during the scan does not repeat it at the next start.
QCoro::Task<> Library::scanPhotosOnce()
{
    const AliveGuard alive(this);
    if (defaults_->boolean(QStringLiteral("photosSmartGroups")))
        co_return;
    const auto photos = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [](const Source& source) { return source.kind == SourceKind::photos; });
    if (photos == sources_.cend())
        co_return;
    defaults_->set(QStringLiteral("photosSmartGroups"), true);
    // On disk before the scan starts; the write waits for the disk, so it runs on a pool thread.
    co_await alive(pools_.run(Priority::utility, [defaults = defaults_] { defaults->sync(); }));
    const Source source = *photos;
    co_await alive(scan(source));
}
