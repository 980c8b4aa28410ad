#include "Pellmar/views/details/ItemPreview.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "Pellmar/views/details/ItemMenus.h"
#include "Pellmar/views/details/ProxyPlayer.h"
#include "Pellmar/views/kit/TypeIcon.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QLabel>
#include <QMediaPlayer>
#include <QPainterPath>
#include <QStackedLayout>

namespace {

constexpr int cornerRadius = 10;
constexpr int pictureSize = 2048;
constexpr int documentSize = 1280;

} // namespace

ItemPreview::ItemPreview(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , stack_(new QStackedLayout(this))
    , picture_(new Thumbnail(library.pools(), pictureSize, this))
    , documentPicture_(new Thumbnail(library.pools(), documentSize, this))
    , icon_(new QLabel(this))
    , anchor_(new ShareAnchor(library, QStringLiteral("inspector"), [this]() -> std::optional<QRect> {
        if (!isVisible() || !window()->isVisible())
            return std::nullopt;
        return QRect(mapToGlobal(QPoint(0, 0)), size());
    }, this))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    icon_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(picture_);
    stack_->addWidget(documentPicture_);
    stack_->addWidget(icon_);
    connect(picture_, &Thumbnail::loaded, this, [this] { library_.logClick(QStringLiteral("inspector image"), true); });
}

ItemPreview::~ItemPreview() = default;

void ItemPreview::showItem(const Item& item)
{
    item_ = item;
    const std::optional<QString> proxy = library_.proxyURL(item);
    const std::optional<QString> image = library_.imageURL(item);
    kind_ = inspector::previewKind(item, proxy.has_value(), image.has_value());
    ratio_ = inspector::previewRatio(item, kind_);
    switch (kind_) {
    case inspector::PreviewKind::player:
        if (!player_) {
            player_ = new ProxyPlayer(library_.pools(), this);
            stack_->addWidget(player_);
        }
        player_->setUrl(QUrl::fromLocalFile(*proxy), image);
        stack_->setCurrentWidget(player_);
        break;
    case inspector::PreviewKind::documentPicture:
        documentPicture_->setPath(image);
        stack_->setCurrentWidget(documentPicture_);
        break;
    case inspector::PreviewKind::documentIcon:
        icon_->setPixmap(typeIcon(item.uti).pixmap(128, 128));
        stack_->setCurrentWidget(icon_);
        break;
    case inspector::PreviewKind::picture:
        picture_->setPath(image);
        stack_->setCurrentWidget(picture_);
        break;
    }
    // A player left behind stops; its position is kept for the same file.
    if (kind_ != inspector::PreviewKind::player && player_ && player_->player())
        player_->player()->pause();
    setFixedHeight(heightForWidth(width()));
    updateGeometry();
}

int ItemPreview::heightForWidth(int width) const
{
    if (kind_ == inspector::PreviewKind::documentIcon)
        return iconHeight;
    return std::max(1, int(width / ratio_ + 0.5));
}

QSize ItemPreview::sizeHint() const
{
    return {300, heightForWidth(300)};
}

void ItemPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setFixedHeight(heightForWidth(width()));
    // A height set while the first resize event is delivered gets no event of its own, so the
    // pages are given the final size here.
    stack_->setGeometry(rect());
    if (kind_ == inspector::PreviewKind::documentIcon) {
        clearMask();
        return;
    }
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}

void ItemPreview::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!item_ || kind_ == inspector::PreviewKind::player)
        return QWidget::mouseDoubleClickEvent(event);
    if (kind_ == inspector::PreviewKind::picture)
        library_.setFullscreen(true);
    else
        library_.open(*item_);
}

void ItemPreview::contextMenuEvent(QContextMenuEvent* event)
{
    if (!item_ || kind_ == inspector::PreviewKind::player)
        return;
    inspector::popupItemMenu(library_, *item_, QStringLiteral("inspector"), event->globalPos(), this);
}
