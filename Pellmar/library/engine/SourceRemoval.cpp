#include "Pellmar/library/Library.h"

#include "Pellmar/library/engine/PreviewSweep.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QCoroFuture>
#include <QUuid>

#include <algorithm>

QCoro::Task<> Library::addPhotosSource()
{
    const AliveGuard alive(this);
    const auto photos = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [](const Source& source) { return source.kind == SourceKind::photos; });
    if (photos != sources_.cend()) {
        co_await alive(scan(*photos));
        co_return;
    }
    const Source source{QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(),
                        QString::fromUtf16(photoLibraryLabel),
                        QString(),
                        QString(),
                        QStringLiteral("Photos"),
                        currentDate(),
                        SourceKind::photos};
    try {
        co_await alive(index_->run([source](Index& index) { index.saveSource(source); }));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
        co_return;
    }
    co_await alive(reload());
    co_await alive(scan(source));
}

QCoro::Task<> Library::removeSource(QString sourceID)
{
    const AliveGuard alive(this);
    // A worker in the middle of a batch writes rows and preview files when the batch ends, so both
    // stop before the source's rows and files go; the reload starts them again.
    co_await alive(workers_->stopWorker());
    co_await alive(workers_->stopFullWorker());
    QStringList removed;
    try {
        removed = co_await alive(index_->run([sourceID](Index& index) { return index.removeSource(sourceID); }));
    } catch (const DatabaseError&) {
        // The reload shows what the index still holds.
    }
    if (!removed.isEmpty()) {
        co_await alive(pools_.run(Priority::utility, [folder = proxyDirectory_, ids = QSet<QString>(removed.cbegin(), removed.cend())] {
            deleteItemFiles(folder, ids);
        }));
    }
    co_await alive(reload());
}
