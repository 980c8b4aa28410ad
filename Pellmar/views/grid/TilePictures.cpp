#include "Pellmar/views/grid/TilePictures.h"

#include <QSet>

#include <algorithm>
#include <memory>

TilePictures::TilePictures(TaskPools& pools, int maxPixels, QObject* parent)
    : QObject(parent)
    , loader_(pools, maxPixels)
    , recent_(recentBytes / 1024)
{
    // The loader delivers only what is still asked for: a tile kept, showing that file.
    connect(&loader_, &ThumbnailLoader::decoded, this, [this](const QString& id, const QString& path, const QImage& image) {
        pictures_.insert(id, {path, size_, QPixmap::fromImage(image)});
        Q_EMIT pictureReady(id);
    });
}

void TilePictures::setTiles(const QList<Tile>& onScreen, const QList<Tile>& nearScreen, QSize size)
{
    size_ = size;
    QSet<QString> kept;
    kept.reserve(onScreen.size() + nearScreen.size());
    for (const QList<Tile>* tiles : {&onScreen, &nearScreen}) {
        for (const Tile& tile : *tiles)
            kept.insert(tile.id);
    }
    loader_.keepOnly(kept);
    for (auto it = pictures_.begin(); it != pictures_.end();) {
        if (kept.contains(it.key())) {
            ++it;
            continue;
        }
        if (!it->pixmap.isNull()) {
            const qsizetype kilobytes = qsizetype(it->pixmap.width()) * it->pixmap.height() * it->pixmap.depth() / 8 / 1024;
            recent_.insert(it.key(), new Picture(std::move(*it)), std::max<qsizetype>(1, kilobytes));
        }
        it = pictures_.erase(it);
    }

    for (const Tile& tile : onScreen)
        want(tile, ThumbnailLoader::onScreen);
    for (const Tile& tile : nearScreen)
        want(tile, ThumbnailLoader::nearScreen);
}

void TilePictures::want(const Tile& tile, ThumbnailLoader::Urgency urgency)
{
    const auto picture = pictures_.constFind(tile.id);
    if (picture != pictures_.cend() && picture->path == tile.path && picture->size == size_)
        return;
    if (picture == pictures_.cend()) {
        if (const std::unique_ptr<Picture> recent(recent_.take(tile.id)); recent && recent->path == tile.path) {
            const bool current = recent->size == size_;
            pictures_.insert(tile.id, std::move(*recent));
            if (current)
                return;
        }
    }
    loader_.request(tile.id, tile.path, urgency, size_, tile.tileImage);
}

QPixmap TilePictures::pixmap(const QString& id, const QString& path) const
{
    const auto it = pictures_.constFind(id);
    return it == pictures_.cend() || it->path != path ? QPixmap() : it->pixmap;
}

bool TilePictures::hasPicture(const QString& id, const QString& path) const
{
    const auto it = pictures_.constFind(id);
    return it != pictures_.cend() && it->path == path && !it->pixmap.isNull();
}
