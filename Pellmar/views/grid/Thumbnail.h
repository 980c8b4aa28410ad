#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

class TaskPools;
class ThumbnailLoader;

// A picture of an image file at most `maxPixels` on its longer side, scaled to fill the view
// (centred, the overflow cut off) over a neutral placeholder that shows while there is no picture.
// The file is decoded and scaled to the view's size off the GUI thread, and again when the size
// changes (the old picture, stretched, shows meanwhile); a new path clears the picture at once and
// loads the new one, and a picture that arrives for a path the view no longer shows is dropped. A file that is
// missing or no image leaves the placeholder, silently. The picture goes when the view is hidden.
class Thumbnail : public QWidget {
    Q_OBJECT
public:
    // `pools` must outlive the view.
    Thumbnail(TaskPools& pools, int maxPixels, QWidget* parent = nullptr);

    void setPath(const std::optional<QString>& path);
    const std::optional<QString>& path() const { return path_; }
    bool hasPicture() const { return !image_.isNull(); }
    // The picture as shown: the view's size in device pixels.
    const QImage& picture() const { return image_; }

Q_SIGNALS:
    // Each time the picture of a new path has been decoded and put on screen.
    void loaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void load();
    void clear();

    ThumbnailLoader* loader_;
    std::optional<QString> path_;
    QImage image_;
};
