#pragma once

#include <QImage>
#include <QObject>
#include <QHash>
#include <QSet>
#include <QSize>
#include <QString>

#include <memory>

class TaskPools;

// Decodes pictures of image files on the user-initiated pool for a view, most urgent first and as
// many at a time as the process has cores, and scales them there to the size the view shows them
// at, so that the GUI thread only draws. Each request has a key (a tile's item id); a request for
// another file or size under a key replaces the old one, a request for the same file and size only
// raises its urgency, and cancelling a key drops its request if it has not started and stops its
// decode at the decode's next check if it has. A result is delivered only for the request that
// is still current under its key: a decode that finished after its key was cancelled or asked
// for another file is thrown away.
//
// Lives on the GUI thread; `pools` must outlive it.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // Lower values are decoded first; among equals, the older request first.
    enum Urgency { onScreen = 0, nearScreen = 1 };

    ThumbnailLoader(TaskPools& pools, int maxPixels, QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // `cover`: unless empty, the picture is decoded at the size that covers that many pixels
    // (centred, the overflow cut off, with no more detail than `maxPixels` on its longer side);
    // else decoded to fit `maxPixels`. `smaller`: a smaller picture of the same file, decoded in
    // its place when it exists and covers that size without being enlarged.
    void request(const QString& key, const QString& path, Urgency urgency = onScreen, QSize cover = {},
                 const QString& smaller = {});
    void cancel(const QString& key);
    // Cancels every request whose key is not in `keys`.
    void keepOnly(const QSet<QString>& keys);
    bool isPending(const QString& key) const { return current_.contains(key); }

Q_SIGNALS:
    // On the GUI thread. `image` is null when the file could not be decoded.
    void decoded(const QString& key, const QString& path, const QImage& image);

private:
    struct Queue;
    void deliver(const QString& key, quint64 serial, const QString& path, const QImage& image);

    std::shared_ptr<Queue> queue_;
    struct Current {
        quint64 serial = 0;
        QString path;
        QSize cover;
    };
    QHash<QString, Current> current_;
    quint64 nextSerial_ = 1;
};
