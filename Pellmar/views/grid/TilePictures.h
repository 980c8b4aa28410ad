#pragma once

#include "Pellmar/views/grid/ThumbnailLoader.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The pictures of the grid's tiles: decoded for the tiles on screen first, then for about a
// screen around them, and dropped (decoded or queued) for tiles further away. Each picture is
// kept as decoded and as a pixmap covering the tile at its current size, so that scrolling only
// draws. A tile whose file changed is decoded again, and a picture that arrives for a file the
// tile no longer shows is dropped.
class TilePictures : public QObject {
    Q_OBJECT
public:
    // `pools` must outlive the pictures.
    TilePictures(TaskPools& pools, int maxPixels, QObject* parent = nullptr);

    // The tiles by id with their files, those on screen and those around them; tiles outside
    // both lose their pictures and their queued decodes. Decodes start for the tiles that have
    // none, on-screen tiles first.
    struct Tile {
        QString id;
        QString path;
    };
    void setTiles(const QList<Tile>& onScreen, const QList<Tile>& nearScreen);

    // The picture of tile `id` showing `path`, covering `size` device pixels; null while it is
    // being decoded or when the file has none.
    QPixmap pixmap(const QString& id, const QString& path, QSize size);

    // Whether tile `id` has the picture of `path` to show.
    bool hasPicture(const QString& id, const QString& path) const;
    int decodedCount() const { return int(pictures_.size()); }

Q_SIGNALS:
    // A tile's picture arrived.
    void pictureReady(const QString& id);

private:
    struct Picture {
        QString path;
        QImage image;      // null: the file could not be decoded
        QPixmap covering;  // the image covering the tile's last size
    };

    void want(const Tile& tile, ThumbnailLoader::Urgency urgency);

    ThumbnailLoader loader_;
    QHash<QString, Picture> pictures_;
};
