#include "Pellmar/media/Watcher.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/media/ScanningRules.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString watchThreadName = QStringLiteral("com.davrenoskil.pellmar.watch");

// Without its wake-up descriptor the loop looks for a stop request this often.
constexpr int stopCheckMilliseconds = 50;

constexpr uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM
    | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

// The loop whose thread this is, so that a stop() from its handler knows not to wait for itself
// without reading the thread object that its owner may still be writing.
thread_local const void* loopOfThisThread = nullptr;

bool isWatchLimit(int error)
{
    return error == ENOSPC || error == EMFILE || error == ENFILE || error == ENOMEM;
}

} // namespace

class InotifyWatcher::Loop {
public:
    Loop(const QString& path, WatchHandler handler, int latencyMilliseconds)
        : root_(QDir::cleanPath(path))
        , handler_(std::move(handler))
        , latencyMilliseconds_(latencyMilliseconds)
        , homeRoot_(root_ == homePath())
    {
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }

    ~Loop()
    {
        stop();
        if (wake_ >= 0)
            ::close(wake_);
    }

    void stop()
    {
        stopping_ = true;
        wake();
        // Called from the handler, the loop ends once the handler returns; waiting would never end.
        if (loopOfThisThread != this && thread_.joinable())
            thread_.join();
    }

    void injectQueueOverflow()
    {
        overflowInjected_ = true;
        wake();
    }

    bool isReady() const { return ready_; }

private:
    void wake()
    {
        const uint64_t one = 1;
        if (wake_ >= 0)
            (void)::write(wake_, &one, sizeof one);
    }

    void run()
    {
        loopOfThisThread = this;
        // The kernel keeps 15 characters of a thread's name; Qt keeps the whole label.
        ::pthread_setname_np(::pthread_self(), watchThreadName.left(15).toUtf8().constData());
        QThread::currentThread()->setObjectName(watchThreadName);
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0) {
            noteWatchLimit(root_, errno);
        } else {
            watchTree(root_, 0);
            // A change made in a folder after the watcher started but before that folder's watch
            // was in place has no event: the tree set up meanwhile is reported for a catch-up, at once.
            note(root_, WatchFlags::mustScanSubfolders | WatchFlags::catchUp);
            if (!stopping_)
                deliver();
        }
        ready_ = true;
        while (!stopping_) {
            pollfd descriptors[] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
            int timeout = pendingPaths_.isEmpty() ? -1 : int(deliveryDue_.remainingTime());
            if (wake_ < 0 && (timeout < 0 || timeout > stopCheckMilliseconds))
                timeout = stopCheckMilliseconds;
            if (::poll(descriptors, inotify_ >= 0 ? 2 : 1, timeout) < 0 && errno != EINTR)
                break;
            if (stopping_)
                break;
            if (descriptors[0].revents & POLLIN) {
                uint64_t count = 0;
                (void)::read(wake_, &count, sizeof count);
                if (overflowInjected_.exchange(false) && !rootGone_)
                    note(root_, WatchFlags::mustScanSubfolders);
            }
            if (inotify_ >= 0 && (descriptors[1].revents & POLLIN))
                readEvents();
            if (!pendingPaths_.isEmpty() && deliveryDue_.hasExpired())
                deliver();
        }
        if (inotify_ >= 0)
            ::close(inotify_);
    }

    void deliver()
    {
        const QStringList paths = std::exchange(pendingPaths_, {});
        const QList<quint32> flags = std::exchange(pendingFlags_, {});
        pendingIndex_.clear();
        if (!stopping_)
            handler_(paths, flags);
    }

    // Adds a changed folder to the batch being collected; the batch leaves one latency after its first path.
    void note(const QString& path, quint32 flags)
    {
        const auto found = pendingIndex_.constFind(path);
        if (found != pendingIndex_.cend()) {
            pendingFlags_[*found] |= flags;
            return;
        }
        if (pendingPaths_.isEmpty())
            deliveryDue_ = QDeadlineTimer(latencyMilliseconds_);
        pendingIndex_.insert(path, pendingPaths_.size());
        pendingPaths_.append(path);
        pendingFlags_.append(flags);
    }

    void noteWatchLimit(const QString& folder, int error)
    {
        if (!limitLogged_) {
            limitLogged_ = true;
            qCWarning(logWatch).noquote()
                << QStringLiteral("The system refuses more folder watches (%1); changes below %2 and other unwatched "
                                  "folders are found only by rescans")
                       .arg(QString::fromLocal8Bit(std::strerror(error)), folder);
        }
        note(folder, WatchFlags::mustScanSubfolders | WatchFlags::notWatched);
    }

    int depthOf(const QString& path) const
    {
        return path == root_ ? 0 : int(QStringView(path).mid(root_.size()).count(QLatin1Char('/')));
    }

    // Folders the scanning rules would never index are not watched.
    bool admits(const QString& name, int depth) const
    {
        return !refusesFolderName(name, homeRoot_ && depth == 1) && !isPackageName(name);
    }

    QString childPath(const QString& folder, const QString& name) const
    {
        return folder == QLatin1String("/") ? QLatin1Char('/') + name : folder + QLatin1Char('/') + name;
    }

    // Watches a folder and every admitted folder below it. Each folder is watched before it is
    // listed, so nothing created meanwhile goes unseen.
    void watchTree(const QString& top, int topDepth)
    {
        QList<std::pair<QString, int>> folders{{top, topDepth}};
        while (!folders.isEmpty() && !stopping_) {
            const auto [folder, depth] = folders.takeLast();
            const QByteArray nativeFolder = QFile::encodeName(folder);
            const int watch = addWatch(folder, nativeFolder, depth == 0);
            if (watch < 0) {
                if (isWatchLimit(errno))
                    noteWatchLimit(folder, errno);
                continue;
            }
            pathOfWatch_.insert(watch, folder);
            watchOfPath_.insert(folder, watch);

            DIR* listing = ::opendir(nativeFolder.constData());
            if (!listing)
                continue;
            while (const dirent* entry = ::readdir(listing)) {
                const char* name = entry->d_name;
                if (name[0] == '.')
                    continue;   // hidden, and "." and ".."
                bool isFolder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat status {};
                    isFolder = ::fstatat(::dirfd(listing), name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
                }
                if (!isFolder)
                    continue;
                const std::optional<QString> decoded = diskFileName(QByteArrayView(name), nativeFolder);
                if (decoded && admits(*decoded, depth + 1))
                    folders.append({childPath(folder, *decoded), depth + 1});
            }
            ::closedir(listing);
        }
    }

    // The root may be a symbolic link to the folder it names; below it, links are never followed.
    int addWatch(const QString& folder, const QByteArray& nativeFolder, bool isRoot) const
    {
        if (const int error = WatchFaultInjection::errorFor(folder)) {
            errno = error;
            return -1;
        }
        return ::inotify_add_watch(inotify_, nativeFolder.constData(), isRoot ? folderEvents & ~IN_DONT_FOLLOW : folderEvents);
    }

    void giveUpRoot()
    {
        note(root_, WatchFlags::rootChanged);
        rootGone_ = true;
        forgetTree(root_);
    }

    // Drops the watches of a folder that was renamed or removed, and of everything below it.
    void forgetTree(const QString& top)
    {
        const QString below = top + QLatin1Char('/');
        for (auto watch = watchOfPath_.begin(); watch != watchOfPath_.end();) {
            if (watch.key() == top || watch.key().startsWith(below)) {
                ::inotify_rm_watch(inotify_, watch.value());
                pathOfWatch_.remove(watch.value());
                watch = watchOfPath_.erase(watch);
            } else {
                ++watch;
            }
        }
    }

    void forgetWatch(int watch)
    {
        const QString path = pathOfWatch_.take(watch);
        if (watchOfPath_.value(path, -1) == watch)
            watchOfPath_.remove(path);
    }

    // One read per turn of the loop, so that a flood of events never holds back a batch that is due.
    void readEvents()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            handle(*event);
        }
    }

    void handle(const inotify_event& event)
    {
        if (rootGone_)
            return;
        if (event.mask & IN_Q_OVERFLOW) {
            note(root_, WatchFlags::mustScanSubfolders);
            return;
        }
        const auto found = pathOfWatch_.constFind(event.wd);
        if (found == pathOfWatch_.cend())
            return;
        const QString folder = *found;
        if (event.mask & IN_IGNORED) {
            forgetWatch(event.wd);
            return;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            // A folder below the root that goes away is reported through its parent's event. Once
            // the root is gone, its old paths name nothing: it is reported once, and nothing after.
            if (folder == root_)
                giveUpRoot();
            else if (event.mask & IN_UNMOUNT)
                note(folder, WatchFlags::mustScanSubfolders);
            return;
        }
        note(folder, 0);
        if (event.len == 0 || !(event.mask & IN_ISDIR))
            return;
        const std::optional<QString> name = diskFileName(QByteArrayView(static_cast<const char*>(event.name)), QFile::encodeName(folder));
        if (!name)
            return;
        const QString child = childPath(folder, *name);
        if (event.mask & (IN_DELETE | IN_MOVED_FROM))
            forgetTree(child);
        if ((event.mask & (IN_CREATE | IN_MOVED_TO)) && admits(*name, depthOf(folder) + 1)) {
            // What was put into the new folder before its watches were in place has no event of its own.
            watchTree(child, depthOf(folder) + 1);
            note(child, WatchFlags::mustScanSubfolders);
        }
    }

    const QString root_;
    const WatchHandler handler_;
    const int latencyMilliseconds_;
    const bool homeRoot_;
    int wake_ = -1;
    int inotify_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> overflowInjected_{false};
    std::atomic<bool> ready_{false};
    bool limitLogged_ = false;
    bool rootGone_ = false;

    // Owned by the loop's thread.
    QHash<int, QString> pathOfWatch_;
    QHash<QString, int> watchOfPath_;
    QStringList pendingPaths_;
    QList<quint32> pendingFlags_;
    QHash<QString, qsizetype> pendingIndex_;
    QDeadlineTimer deliveryDue_;

    std::thread thread_;   // last: started once everything above is set
};

InotifyWatcher::InotifyWatcher(const QString& path, WatchHandler handler, int latencyMilliseconds)
    : loop_(std::make_unique<Loop>(path, std::move(handler), latencyMilliseconds))
{
}

InotifyWatcher::~InotifyWatcher() = default;

void InotifyWatcher::stop()
{
    loop_->stop();
}

bool InotifyWatcher::isReady() const
{
    return loop_->isReady();
}

void InotifyWatcher::injectQueueOverflow()
{
    loop_->injectQueueOverflow();
}
