#include "Pellmar/views/grid/QuickLookWindow.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/grid/ThumbnailLoader.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>

namespace {

// Large enough for a full screen; never more than the file holds.
constexpr int pictureMaxPixels = 2560;
const QString pageKey = QStringLiteral("page");

} // namespace

QuickLookWindow::QuickLookWindow(Library& library, TaskPools& pools, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , library_(library)
    , loader_(new ThumbnailLoader(pools, pictureMaxPixels, this))
{
    resize(900, 680);
    setFocusPolicy(Qt::StrongFocus);
    connect(&library_, &Library::quickLookShown, this, &QuickLookWindow::showFiles);
    connect(loader_, &ThumbnailLoader::decoded, this, [this](const QString&, const QString&, const QImage& image) {
        if (image.isNull() && ++attempt_ < pictures_.value(page_).size()) {
            requestPicture();
            return;
        }
        loading_ = false;
        image_ = image;
        scaled_ = {};
        update();
        Q_EMIT pageLoaded();
    });
}

void QuickLookWindow::showFiles()
{
    files_ = library_.quickLookSource.urls;
    pictures_ = library_.quickLookSource.pictures;
    showPage(0);
    show();
    raise();
    activateWindow();
}

void QuickLookWindow::showPage(qsizetype page)
{
    if (page < 0 || page >= files_.size())
        return;
    page_ = page;
    attempt_ = 0;
    image_ = {};
    scaled_ = {};
    const QString name = QFileInfo(files_.at(page_)).fileName();
    setWindowTitle(files_.size() > 1 ? QStringLiteral("%1 (%2 of %3)").arg(name).arg(page_ + 1).arg(files_.size()) : name);
    loader_->cancel(pageKey);
    requestPicture();
    update();
}

void QuickLookWindow::requestPicture()
{
    const QStringList& pictures = pictures_.value(page_);
    if (attempt_ >= pictures.size()) {
        loading_ = false;
        Q_EMIT pageLoaded();
        return;
    }
    loading_ = true;
    loader_->request(pageKey, pictures.at(attempt_));
}

void QuickLookWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(28, 28, 30));
    if (!image_.isNull()) {
        if (scaled_.isNull()) {
            const QSize fitted = image_.size().scaled(size() * devicePixelRatioF(), Qt::KeepAspectRatio)
                                     .boundedTo(image_.size());
            scaled_ = QPixmap::fromImage(image_.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            scaled_.setDevicePixelRatio(devicePixelRatioF());
        }
        const QSize shown = scaled_.deviceIndependentSize().toSize();
        painter.drawPixmap(QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown), scaled_);
        return;
    }
    if (loading_ || files_.isEmpty())
        return;
    painter.setPen(QColor(235, 235, 240));
    painter.drawText(rect().adjusted(24, 24, -24, -24), Qt::AlignCenter | Qt::TextWordWrap,
                     QFileInfo(files_.at(page_)).fileName());
}

void QuickLookWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scaled_ = {};
}

void QuickLookWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        return showPage(page_ - 1);
    case Qt::Key_Right:
    case Qt::Key_Down:
        return showPage(page_ + 1);
    case Qt::Key_Escape:
    case Qt::Key_Space:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
