#include "Pellmar/views/grid/Thumbnail.h"

#include "Pellmar/views/grid/ThumbnailLoader.h"
#include "Pellmar/views/grid/TilePainting.h"

#include <QPainter>

namespace {
const QString pictureKey = QStringLiteral("picture");
}

Thumbnail::Thumbnail(TaskPools& pools, int maxPixels, QWidget* parent)
    : QWidget(parent)
    , loader_(new ThumbnailLoader(pools, maxPixels, this))
{
    // The loader delivers only the picture of the current path.
    connect(loader_, &ThumbnailLoader::decoded, this, [this](const QString&, const QString&, const QImage& image) {
        if (image.isNull())
            return;
        const bool newPath = image_.isNull();
        image_ = image;
        update();
        if (newPath)
            Q_EMIT loaded();
    });
}

void Thumbnail::setPath(const std::optional<QString>& path)
{
    if (path == path_)
        return;
    path_ = path;
    clear();
    if (isVisible())
        load();
}

void Thumbnail::load()
{
    const QSize pixels = size() * devicePixelRatioF();
    if (path_ && (image_.isNull() || image_.size() != pixels))
        loader_->request(pictureKey, *path_, ThumbnailLoader::onScreen, pixels);
}

void Thumbnail::clear()
{
    loader_->cancel(pictureKey);
    image_ = {};
    update();
}

void Thumbnail::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    load();
}

void Thumbnail::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    clear();
}

void Thumbnail::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        load();
}

void Thumbnail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), tiles::placeholderColor(palette()));
    if (!image_.isNull())
        painter.drawImage(QRectF(rect()), image_, QRectF(image_.rect()));
}
