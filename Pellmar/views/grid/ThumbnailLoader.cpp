#include "Pellmar/views/grid/ThumbnailLoader.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/views/grid/TilePainting.h"

#include <QImageReader>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

// The requests not yet started, shared with the pool's jobs. At most as many jobs as the process
// has cores are on the pool at a time; each decodes the most urgent waiting request and, while
// more wait, puts its successor at the back of the pool's queue, so that the pool's other work
// takes turns with it. Reordering and cancelling need not touch the pool. Decoding is all
// computing: more decodes at once would only share the cores, and a decode for a tile that has
// since left the screen would hold back the tiles now on it.
struct ThumbnailLoader::Queue {
    struct Request {
        QString key;
        QString path;
        Urgency urgency = onScreen;
        quint64 serial = 0;
        QSize cover;
        QString smaller;
    };

    Queue(TaskPools& pools, int maxPixels) : pools(pools), maxPixels(maxPixels) {}

    TaskPools& pools;
    const int maxPixels;
    const int maxRunning = std::max(1, QThread::idealThreadCount());
    std::mutex lock;
    std::vector<Request> waiting;
    // The serial of each key's current request, started or not: a decode whose request is no
    // longer here stops at its next check.
    QHash<QString, quint64> current;
    int running = 0;   // jobs started and not yet ended
    ThumbnailLoader* receiver = nullptr;   // cleared when the loader goes

    void remove(const QString& key)
    {
        std::erase_if(waiting, [&](const Request& r) { return r.key == key; });
    }

    // Under the lock, after a request was queued: whether a new job is to decode it.
    bool claimJob()
    {
        if (running >= maxRunning)
            return false;
        ++running;
        return true;
    }

    // The most urgent waiting request; none ends the calling job.
    std::optional<Request> takeMostUrgentOrEnd()
    {
        const std::lock_guard guard(lock);
        const auto most = std::min_element(waiting.begin(), waiting.end(), [](const Request& a, const Request& b) {
            return std::tie(a.urgency, a.serial) < std::tie(b.urgency, b.serial);
        });
        if (most == waiting.end()) {
            --running;
            return std::nullopt;
        }
        Request request = std::move(*most);
        waiting.erase(most);
        return request;
    }

    static void startJob(const std::shared_ptr<Queue>& queue)
    {
        queue->pools.run(Priority::userInitiated, [queue] { queue->decodeNext(queue); });
    }

    // A pool job.
    void decodeNext(const std::shared_ptr<Queue>& self)
    {
        const std::optional<Request> request = takeMostUrgentOrEnd();
        if (!request)
            return;
        if (decode(*request))
            startJob(self);
        else
            endJob();
    }

    void endJob()
    {
        const std::lock_guard guard(lock);
        --running;
    }

    bool isCurrent(const Request& request)
    {
        const std::lock_guard guard(lock);
        return current.value(request.key) == request.serial;
    }

    // A picture that covers `cover`, decoded at that size but with no more detail than `maxPixels`
    // on its longer side, as a picture decoded to fit `maxPixels` would have: from the smaller
    // picture when that is large enough, else from the file.
    QImage decodeCovering(const Request& request)
    {
        const QSize decoded = std::max(request.cover.width(), request.cover.height()) > maxPixels
                                  ? request.cover.scaled(maxPixels, maxPixels, Qt::KeepAspectRatio)
                                  : request.cover;
        const std::function<bool()> isCancelled = [this, &request] { return !isCurrent(request); };
        std::optional<QImage> image = decodeSmaller(request.smaller, decoded, isCancelled);
        if (!image)
            image = decodePhotoCovering(request.path, decoded, isCancelled);
        return image->size() == request.cover ? *image : tiles::coverImage(*image, request.cover);
    }

    // The smaller picture at `path` covering `size`, when it exists and is at least that size;
    // a smaller picture that cannot be decoded leaves the tile to the file itself.
    static std::optional<QImage> decodeSmaller(const QString& path, QSize size, const std::function<bool()>& isCancelled)
    {
        if (path.isEmpty())
            return std::nullopt;
        const QSize available = QImageReader(path).size();
        if (!available.isValid() || available.width() < size.width() || available.height() < size.height())
            return std::nullopt;
        try {
            return decodePhotoCovering(path, size, isCancelled);
        } catch (const DatabaseError&) {
            return std::nullopt;
        }
    }

    // Decodes and delivers; false once the loader has gone.
    bool decode(const Request& request)
    {
        QImage image;
        try {
            image = request.cover.isEmpty() ? decodePhoto(request.path, maxPixels) : decodeCovering(request);
        } catch (const DatabaseError&) {
            // Missing, unreadable or no image, or no longer wanted: the tile keeps its placeholder.
        }
        const std::lock_guard guard(lock);
        if (!receiver)
            return false;
        if (current.value(request.key) != request.serial)
            return true;
        // The loader is alive while the lock is held; a call queued for it is dropped when it goes.
        QMetaObject::invokeMethod(
            receiver,
            [receiver = receiver, key = request.key, serial = request.serial, path = request.path, image] {
                receiver->deliver(key, serial, path, image);
            },
            Qt::QueuedConnection);
        return true;
    }
};

ThumbnailLoader::ThumbnailLoader(TaskPools& pools, int maxPixels, QObject* parent)
    : QObject(parent)
    , queue_(std::make_shared<Queue>(pools, maxPixels))
{
    queue_->receiver = this;
}

ThumbnailLoader::~ThumbnailLoader()
{
    const std::lock_guard guard(queue_->lock);
    queue_->receiver = nullptr;
    queue_->waiting.clear();
    queue_->current.clear();
}

void ThumbnailLoader::request(const QString& key, const QString& path, Urgency urgency, QSize cover,
                              const QString& smaller)
{
    if (const auto it = current_.constFind(key); it != current_.cend() && it->path == path && it->cover == cover) {
        const std::lock_guard guard(queue_->lock);
        for (Queue::Request& waiting : queue_->waiting) {
            if (waiting.key == key)
                waiting.urgency = std::min(waiting.urgency, urgency);
        }
        return;
    }
    const quint64 serial = nextSerial_++;
    current_.insert(key, {serial, path, cover});
    bool startJob = false;
    {
        const std::lock_guard guard(queue_->lock);
        queue_->remove(key);
        queue_->waiting.push_back({key, path, urgency, serial, cover, smaller});
        queue_->current.insert(key, serial);
        startJob = queue_->claimJob();
    }
    if (startJob)
        Queue::startJob(queue_);
}

void ThumbnailLoader::cancel(const QString& key)
{
    if (!current_.remove(key))
        return;
    const std::lock_guard guard(queue_->lock);
    queue_->remove(key);
    queue_->current.remove(key);
}

void ThumbnailLoader::keepOnly(const QSet<QString>& keys)
{
    const std::lock_guard guard(queue_->lock);
    std::erase_if(queue_->waiting, [&](const Queue::Request& r) { return !keys.contains(r.key); });
    queue_->current.removeIf([&](const auto& entry) { return !keys.contains(entry.key()); });
    for (auto it = current_.begin(); it != current_.end();)
        it = keys.contains(it.key()) ? std::next(it) : current_.erase(it);
}

void ThumbnailLoader::deliver(const QString& key, quint64 serial, const QString& path, const QImage& image)
{
    const auto it = current_.constFind(key);
    if (it == current_.cend() || it->serial != serial)
        return;
    current_.erase(it);
    {
        const std::lock_guard guard(queue_->lock);
        queue_->current.remove(key);
    }
    Q_EMIT decoded(key, path, image);
}
