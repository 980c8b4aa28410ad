#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/media/Walkers.h"
#include "Pellmar/platform/Defaults.h"

#include <QCoroFuture>

QCoro::Task<> Library::walkNewSources()
{
    const AliveGuard alive(this);
    for (const Source& source : QList<Source>(sources_)) {
        if (source.kind == SourceKind::photos || !online_.contains(source.id))
            continue;
        // A source with folder rows has been walked; a count that cannot be read leaves it alone.
        std::optional<qint64> folders;
        try {
            folders = co_await alive(readIndex_->run([id = source.id](Index& index) { return index.folderCount(id); }));
        } catch (const DatabaseError&) {
            continue;
        }
        if (folders.value_or(0) != 0)
            continue;

        const double started = clock_->uptime();
        const ScanResult walked = co_await alive(pools_.run(Priority::utility, [source, mounts = knownMountPoints] {
            ScanOptions options;
            options.knownMountPoints = mounts;
            return scanSubtree(source, QString(), options);
        }));
        co_await alive(rememberMountPoints(walked.mountPoints));
        try {
            co_await alive(index_->run([walked, id = source.id](Index& index) {
                index.replaceSourceFolderRows(walked.folders, id, walked.gaps);
            }));
        } catch (const DatabaseError&) {
            // The next start walks the source again.
        }
        qCInfo(logWatch, "folder walk of %s: %ld folders in %ld ms", qUtf8Printable(source.name),
               long(walked.folders.size()), long((clock_->uptime() - started) * 1000));
    }
    co_await alive(refreshTrees());
}

QCoro::Task<> Library::rescanAllFiles()
{
    const AliveGuard alive(this);
    if (rescanningAll)
        co_return;
    rescanningAll = true;
    const QStringList listed = defaults_->stringList(QStringLiteral("allFilesSources"));
    const QSet<QString> scanned(listed.cbegin(), listed.cend());
    for (const Source& source : QList<Source>(sources_)) {
        // A user's scan of another source runs now: this one waits for the next pass.
        if (source.kind != SourceKind::folder || !online_.contains(source.id) || scanned.contains(source.id)
            || scanning_)
            continue;
        const double started = clock_->uptime();
        co_await alive(scan(source));
        qCInfo(logWatch, "all-files rescan of %s in %ld ms", qUtf8Printable(source.name),
               long((clock_->uptime() - started) * 1000));
    }
    rescanningAll = false;
}
