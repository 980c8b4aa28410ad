#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/CloudFiles.h"

#include <QCoroFuture>
#include <QFileInfo>

#include <chrono>

namespace {

// A download is looked at every 2 s, at most 150 times (about five minutes).
constexpr auto downloadPoll = std::chrono::seconds(2);
constexpr int downloadChecks = 150;

} // namespace

void Library::download(const Location& location)
{
    const std::optional<QString> path = url(location);
    const std::optional<Source> source = path ? sourceByID(location.sourceID) : std::nullopt;
    if (!source)
        return;
    try {
        cloud_->startDownloading(*path);
    } catch (const CloudFiles::Refused&) {
        setLastError(QStringLiteral("Could not download ") + QFileInfo(*path).fileName() + u'.');
        return;
    }
    Tasks::start(waitForDownload(*path, *source));
}

QCoro::Task<> Library::waitForDownload(QString path, Source source)
{
    const AliveGuard alive(this);
    const std::shared_ptr<CloudFiles> cloud = cloud_;
    for (int check = 1;; ++check) {
        const std::optional<CloudFiles::Status> status = co_await alive(pools_.run(Priority::userInitiated, [cloud, path] {
            return cloud->status(path);
        }));
        if (status == CloudFiles::Status::current || status == CloudFiles::Status::downloaded)
            break;
        co_await alive(clock_->sleep(downloadPoll));
        if (check == downloadChecks)
            break;
    }
    // The rescan records the copy's new state, whether the download finished or the wait ran out.
    co_await alive(scan(source));
}

void Library::removeDownload(const Location& location)
{
    const std::optional<QString> path = url(location);
    const std::optional<Source> source = path ? sourceByID(location.sourceID) : std::nullopt;
    if (!source)
        return;
    try {
        cloud_->evict(*path);
    } catch (const CloudFiles::Refused&) {
        setLastError(QStringLiteral("Could not remove the download of ") + QFileInfo(*path).fileName() + u'.');
        return;
    }
    Tasks::start(scan(*source));
}
