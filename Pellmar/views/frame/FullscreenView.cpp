#include "Pellmar/views/frame/FullscreenView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/details/ProxyPlayer.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "Pellmar/views/kit/Formatters.h"
#include "Pellmar/views/kit/Icons.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int verticalMargin = 56;
constexpr int horizontalMargin = 24;
constexpr int closeSize = 30;
constexpr int edgePadding = 14;
constexpr int captionSpacing = 2;

QLabel* captionLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 70%);"));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    return label;
}

} // namespace

FullscreenView::Media FullscreenView::media(const Item& item, const Files& files)
{
    if (item.kind == MediaKind::video) {
        if (const std::optional<QString> proxy = files.proxy(item))
            return {Media::Kind::video, *proxy};
    }
    if (const std::optional<QString> image = files.image(item))
        return {Media::Kind::image, *image};
    return {};
}

std::optional<Item> FullscreenView::step(const QList<Item>& items, const QString& id, int offset)
{
    const auto found = std::find_if(items.begin(), items.end(), [&](const Item& item) { return item.id == id; });
    if (found == items.end())
        return std::nullopt;
    const qsizetype target = (found - items.begin()) + offset;
    if (target < 0 || target >= items.size())
        return std::nullopt;
    return items[target];
}

QRect FullscreenView::pictureRect(const QSize& size, const Item& item)
{
    const QRect area = QRect(QPoint(0, 0), size).adjusted(horizontalMargin, verticalMargin, -horizontalMargin, -verticalMargin);
    const double aspect = item.width >= 1 && item.height >= 1 ? double(item.width) / double(item.height) : 4.0 / 3.0;
    QSize fitted(area.width(), int(area.width() / aspect));
    if (fitted.height() > area.height())
        fitted = QSize(int(area.height() * aspect), area.height());
    QRect picture(QPoint(0, 0), fitted.expandedTo(QSize(0, 0)));
    picture.moveCenter(area.center());
    return picture;
}

FullscreenView::FullscreenView(Library& library, Files files, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , files_(std::move(files))
    , picture_(new Thumbnail(library.pools(), maxPixels, this))
    , empty_(new QLabel(tr("No preview yet"), this))
    , close_(new QToolButton(this))
    , name_(captionLabel(this))
    , date_(captionLabel(this))
{
    setObjectName(QStringLiteral("fullscreen"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    empty_->setAlignment(Qt::AlignCenter);
    empty_->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 60%);"));
    QFont callout = empty_->font();
    callout.setPointSizeF(callout.pointSizeF() * 1.1);
    empty_->setFont(callout);

    close_->setObjectName(QStringLiteral("close"));
    close_->setAccessibleName(tr("Close"));
    close_->setIcon(Icons::icon(QStringLiteral("xmark"), Qt::white));
    close_->setIconSize(QSize(14, 14));
    close_->setFixedSize(closeSize, closeSize);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 15px; "
                                         "background: rgba(255, 255, 255, 15%); }"
                                         "QToolButton:pressed { background: rgba(255, 255, 255, 30%); }"));
    connect(close_, &QToolButton::clicked, this, [this] { library_.setFullscreen(false); });
}

void FullscreenView::setItem(const Item& item)
{
    item_ = item;
    media_ = media(item, files_);
    const bool video = media_.kind == Media::Kind::video;
    if (video) {
        // Made for the first video only: starting the media backend is not for photos to pay.
        if (!player_) {
            player_ = new ProxyPlayer(library_.pools(), this);
            player_->setObjectName(QStringLiteral("player"));
            player_->stackUnder(close_);
        }
        player_->setUrl(QUrl::fromLocalFile(media_.path), files_.image(item));
    } else if (player_ && player_->player()) {
        player_->player()->pause();
    }
    if (player_)
        player_->setVisible(video);
    const bool image = media_.kind == Media::Kind::image;
    picture_->setPath(image ? std::optional(media_.path) : std::nullopt);
    picture_->setVisible(image);
    empty_->setVisible(media_.kind == Media::Kind::none);
    name_->setText(item.filename);
    date_->setText(item.capturedAt ? longDateTimeText(*item.capturedAt) : QString());
    date_->setVisible(item.capturedAt.has_value());
    layoutChildren();
}

void FullscreenView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        library_.setFullscreen(false);
        break;
    case Qt::Key_Space:
        if (player_ && player_->isVisible())
            player_->togglePlay();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (item_) {
            if (const std::optional<Item> next = step(library_.items(), item_->id, event->key() == Qt::Key_Left ? -1 : 1))
                library_.select(*next);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void FullscreenView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void FullscreenView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus(Qt::OtherFocusReason);
}

void FullscreenView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (player_ && player_->player())
        player_->player()->pause();
}

void FullscreenView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::black);
}

void FullscreenView::layoutChildren()
{
    if (item_)
        picture_->setGeometry(pictureRect(size(), *item_));
    if (player_)
        player_->setGeometry(rect().adjusted(0, verticalMargin, 0, -verticalMargin));
    empty_->setGeometry(rect());
    close_->move(edgePadding, edgePadding);

    const int nameHeight = name_->sizeHint().height();
    const int dateHeight = !date_->isHidden() ? date_->sizeHint().height() + captionSpacing : 0;
    const int top = height() - edgePadding - dateHeight - nameHeight;
    name_->setGeometry(0, top, width(), nameHeight);
    date_->setGeometry(0, top + nameHeight + captionSpacing, width(), date_->sizeHint().height());
}
