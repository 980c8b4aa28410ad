#pragma once

#include "Pellmar/views/grid/ThumbnailLoader.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The pictures of the grid's tiles: decoded for the tiles on screen first, then for about a
// screen around them; queued decodes are dropped for tiles further away. Each picture is decoded
// and scaled to cover its tile off the GUI thread (from the tile image beside the file when there
// is one large enough) and kept as a pixmap of the tile's size, so that scrolling only draws. The
// pictures of tiles that went further away are kept a while, up to recentBytes, so that scrolling
// back shows them without decoding again. A tile whose file changed is decoded again, and so is
// every tile when the tiles change size (the old picture shows meanwhile); a picture that arrives
// for a file or size the tile no longer shows is dropped.
class TilePictures : public QObject {
    Q_OBJECT
public:
    // `pools` must outlive the pictures.
    TilePictures(TaskPools& pools, int maxPixels, QObject* parent = nullptr);

    // The tiles by id with their files, those on screen and those around them, and the size of a
    // tile in device pixels; tiles outside both lose their pictures and their queued decodes.
    // Decodes start for the tiles that have none of that file and size, on-screen tiles first.
    struct Tile {
        QString id;
        QString path;
        QString tileImage;   // the smaller picture of the file, if it may have one
    };
    void setTiles(const QList<Tile>& onScreen, const QList<Tile>& nearScreen, QSize size);

    // The picture of tile `id` showing `path`, of the tile's size (of its former size while the
    // new one is being decoded); null while it is being decoded or when the file has none.
    QPixmap pixmap(const QString& id, const QString& path) const;

    // Whether tile `id` has the picture of `path` to show.
    bool hasPicture(const QString& id, const QString& path) const;
    int decodedCount() const { return int(pictures_.size()); }

    // How many bytes of pixmaps the tiles that went away keep at most.
    static constexpr qsizetype recentBytes = 64 * 1024 * 1024;

Q_SIGNALS:
    // A tile's picture arrived.
    void pictureReady(const QString& id);

private:
    struct Picture {
        QString path;
        QSize size;        // of the tile it was decoded for
        QPixmap pixmap;    // null: the file could not be decoded
    };

    void want(const Tile& tile, ThumbnailLoader::Urgency urgency);

    ThumbnailLoader loader_;
    QHash<QString, Picture> pictures_;
    QCache<QString, Picture> recent_;   // of tiles no longer near the screen, cost in KiB
    QSize size_;
};
