#include "Pellmar/views/grid/ThumbnailLoader.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/views/grid/TilePainting.h"

#include <QMetaObject>

#include <algorithm>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

// The requests not yet started, shared with the pool's jobs. Each request puts one job on the
// pool, and each job decodes the most urgent request waiting when it starts (if any is left), so
// that reordering and cancelling need not touch the pool.
struct ThumbnailLoader::Queue {
    struct Request {
        QString key;
        QString path;
        Urgency urgency = onScreen;
        quint64 serial = 0;
        QSize cover;
    };

    explicit Queue(int maxPixels) : maxPixels(maxPixels) {}

    const int maxPixels;
    std::mutex lock;
    std::vector<Request> waiting;
    ThumbnailLoader* receiver = nullptr;   // cleared when the loader goes

    void remove(const QString& key)
    {
        std::erase_if(waiting, [&](const Request& r) { return r.key == key; });
    }

    std::optional<Request> takeMostUrgent()
    {
        const std::lock_guard guard(lock);
        const auto most = std::min_element(waiting.begin(), waiting.end(), [](const Request& a, const Request& b) {
            return std::tie(a.urgency, a.serial) < std::tie(b.urgency, b.serial);
        });
        if (most == waiting.end())
            return std::nullopt;
        Request request = std::move(*most);
        waiting.erase(most);
        return request;
    }

    // Runs on a pool thread.
    void decodeNext()
    {
        const std::optional<Request> request = takeMostUrgent();
        if (!request)
            return;
        QImage image;
        try {
            image = decodePhoto(request->path, maxPixels);
        } catch (const DatabaseError&) {
            // Missing, unreadable or no image: the tile keeps its placeholder.
        }
        if (!image.isNull() && !request->cover.isEmpty())
            image = tiles::coverImage(image, request->cover);
        const std::lock_guard guard(lock);
        if (!receiver)
            return;
        // The loader is alive while the lock is held; a call queued for it is dropped when it goes.
        QMetaObject::invokeMethod(
            receiver,
            [receiver = receiver, key = request->key, serial = request->serial, path = request->path, image] {
                receiver->deliver(key, serial, path, image);
            },
            Qt::QueuedConnection);
    }
};

ThumbnailLoader::ThumbnailLoader(TaskPools& pools, int maxPixels, QObject* parent)
    : QObject(parent)
    , pools_(pools)
    , queue_(std::make_shared<Queue>(maxPixels))
{
    queue_->receiver = this;
}

ThumbnailLoader::~ThumbnailLoader()
{
    const std::lock_guard guard(queue_->lock);
    queue_->receiver = nullptr;
    queue_->waiting.clear();
}

void ThumbnailLoader::request(const QString& key, const QString& path, Urgency urgency, QSize cover)
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
    {
        const std::lock_guard guard(queue_->lock);
        queue_->remove(key);
        queue_->waiting.push_back({key, path, urgency, serial, cover});
    }
    pools_.run(Priority::userInitiated, [queue = queue_] { queue->decodeNext(); });
}

void ThumbnailLoader::cancel(const QString& key)
{
    if (!current_.remove(key))
        return;
    const std::lock_guard guard(queue_->lock);
    queue_->remove(key);
}

void ThumbnailLoader::keepOnly(const QSet<QString>& keys)
{
    const std::lock_guard guard(queue_->lock);
    std::erase_if(queue_->waiting, [&](const Queue::Request& r) { return !keys.contains(r.key); });
    for (auto it = current_.begin(); it != current_.end();)
        it = keys.contains(it.key()) ? std::next(it) : current_.erase(it);
}

void ThumbnailLoader::deliver(const QString& key, quint64 serial, const QString& path, const QImage& image)
{
    const auto it = current_.constFind(key);
    if (it == current_.cend() || it->serial != serial)
        return;
    current_.erase(it);
    Q_EMIT decoded(key, path, image);
}
