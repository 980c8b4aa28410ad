#include "Pellmar/views/sidebar/SidebarBlocks.h"

#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <climits>

namespace {

constexpr int headerHeight = 16;
constexpr int headerTop = 14;
constexpr int headerBottom = 4;
constexpr int headerSide = 12;
constexpr int emptyTextHeight = 30;
constexpr int emptyTextIndent = 40;
constexpr int progressHeight = 8;
constexpr int progressBar = 4;
constexpr int progressLeading = 36;
constexpr int progressTrailing = 14;
constexpr int blockPadding = 12;
constexpr int lineSpacing = 2;
constexpr int disclosureSize = 9;

QFont scaled(const QFont& base, qreal scale, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * scale);
    font.setWeight(weight);
    return font;
}

QColor faded(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

constexpr int wrapFlags = Qt::TextWordWrap;

} // namespace

SidebarSectionHeader::SidebarSectionHeader(QWidget* parent) : QWidget(parent), add_(new QToolButton(this))
{
    setFocusPolicy(Qt::NoFocus);
    add_->setFocusPolicy(Qt::NoFocus);
    add_->setAutoRaise(true);
    add_->setObjectName(QStringLiteral("add"));
    add_->setFixedSize(20, headerHeight);
    add_->setIconSize(QSize(12, 12));
    add_->setToolTip(QStringLiteral("Add a folder or drive"));
    add_->setAccessibleName(QStringLiteral("Add a folder or drive"));
    add_->hide();
    connect(add_, &QToolButton::clicked, this, &SidebarSectionHeader::addClicked);
}

void SidebarSectionHeader::setLook(const SidebarLook& look)
{
    if (look == look_)
        return;
    look_ = look;
    setAccessibleName(look_.text);
    showAdd();
    update();
}

QSize SidebarSectionHeader::sizeHint() const
{
    return {200, headerTop + headerHeight + headerBottom};
}

void SidebarSectionHeader::showAdd()
{
    add_->setIcon(Icons::icon(QStringLiteral("plus"), secondaryTextColor(palette())));
    add_->setVisible(look_.canAdd && hovering_);
}

void SidebarSectionHeader::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    hovering_ = true;
    showAdd();
}

void SidebarSectionHeader::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hovering_ = false;
    showAdd();
}

void SidebarSectionHeader::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    add_->move(width() - headerSide - add_->width(), headerTop);
}

void SidebarSectionHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(scaled(font(), 0.85, QFont::DemiBold));
    painter.setPen(secondaryTextColor(palette()));
    const QRect area(headerSide, headerTop, width() - 2 * headerSide - add_->width(), headerHeight);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(look_.text, Qt::ElideRight, area.width()));
}

SidebarBlock::SidebarBlock(SidebarEntryKind kind, QWidget* parent) : QWidget(parent), kind_(kind)
{
    setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void SidebarBlock::setLook(const SidebarLook& look)
{
    if (look == look_)
        return;
    look_ = look;
    setAccessibleName(look_.text);
    updateGeometry();
    update();
}

QList<SidebarBlock::Line> SidebarBlock::lines() const
{
    const QColor primary = primaryTextColor(palette());
    const QColor secondary = secondaryTextColor(palette());
    switch (kind_) {
    case SidebarEntryKind::emptyText: {
        QFont font = this->font();
        font.setPixelSize(14);
        return {{look_.text, font, faded(secondary, 0.7), 1}};
    }
    case SidebarEntryKind::verification:
        return {{look_.text, scaled(font(), 0.85, QFont::DemiBold), primary, 0},
                {look_.caption, scaled(font(), 0.85), secondary, 0}};
    case SidebarEntryKind::failures:
        return {{look_.text, scaled(font(), 0.85), primary, 0}};
    case SidebarEntryKind::failure:
        return {{look_.text, scaled(font(), 0.85), primary, 1}, {look_.caption, scaled(font(), 0.8), secondary, 2}};
    case SidebarEntryKind::error:
        return {{look_.text, scaled(font(), 0.85), QColor(0xd7, 0x26, 0x2d), 0}};
    default:
        return {};
    }
}

QMargins SidebarBlock::padding() const
{
    switch (kind_) {
    case SidebarEntryKind::emptyText: return {emptyTextIndent, 0, blockPadding, 0};
    case SidebarEntryKind::failures: return {blockPadding + disclosureSize + 6, blockPadding, blockPadding, blockPadding};
    case SidebarEntryKind::failure: return {blockPadding + disclosureSize + 6, 2, blockPadding, 2};
    default: return {blockPadding, blockPadding, blockPadding, blockPadding};
    }
}

// The height of a line's text in `width`, wrapped and cut to its number of lines.
static int textHeight(const QFont& font, const QString& text, int maxLines, int width)
{
    const QFontMetrics metrics(font);
    if (maxLines == 1)
        return metrics.height();
    const int wrapped = metrics.boundingRect(QRect(0, 0, std::max(1, width), INT_MAX), wrapFlags, text).height();
    return maxLines > 0 ? std::min(wrapped, maxLines * metrics.lineSpacing()) : std::max(wrapped, metrics.height());
}

int SidebarBlock::heightForWidth(int width) const
{
    if (kind_ == SidebarEntryKind::progress)
        return progressHeight;
    if (kind_ == SidebarEntryKind::emptyText)
        return emptyTextHeight;
    const QMargins margins = padding();
    const int inner = width - margins.left() - margins.right();
    int height = margins.top() + margins.bottom();
    const QList<Line> all = lines();
    for (int i = 0; i < all.size(); ++i)
        height += textHeight(all[i].font, all[i].text, all[i].maxLines, inner) + (i > 0 ? lineSpacing : 0);
    return height;
}

QSize SidebarBlock::sizeHint() const
{
    return {200, heightForWidth(width() > 0 ? width() : 200)};
}

void SidebarBlock::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind_ == SidebarEntryKind::progress) {
        const QRectF track(progressLeading, (height() - progressBar) / 2.0, width() - progressLeading - progressTrailing,
                           progressBar);
        painter.setPen(Qt::NoPen);
        painter.setBrush(faded(secondaryTextColor(palette()), 0.3));
        painter.drawRoundedRect(track, 2, 2);
        const double share = look_.total > 0 ? std::clamp(double(look_.done) / double(look_.total), 0.0, 1.0) : 0.0;
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * share, track.height())), 2, 2);
        return;
    }

    const QMargins margins = padding();
    const int inner = width() - margins.left() - margins.right();
    if (kind_ == SidebarEntryKind::failures) {
        const QPixmap chevron = Icons::pixmap(QStringLiteral("chevron.right"), disclosureSize,
                                              secondaryTextColor(palette()), devicePixelRatioF());
        painter.save();
        painter.translate(blockPadding + disclosureSize / 2.0, height() / 2.0);
        if (look_.open)
            painter.rotate(90);
        painter.drawPixmap(QPointF(-disclosureSize / 2.0, -disclosureSize / 2.0), chevron);
        painter.restore();
    }
    int y = kind_ == SidebarEntryKind::emptyText ? (height() - QFontMetrics(lines().first().font).height()) / 2
                                                 : margins.top();
    for (const Line& line : lines()) {
        const int lineHeight = textHeight(line.font, line.text, line.maxLines, inner);
        painter.setFont(line.font);
        painter.setPen(line.color);
        const QRect area(margins.left(), y, inner, lineHeight);
        if (line.maxLines == 1) {
            painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                             painter.fontMetrics().elidedText(line.text, Qt::ElideMiddle, inner));
        } else {
            painter.save();
            painter.setClipRect(area);
            painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | wrapFlags, line.text);
            painter.restore();
        }
        y += lineHeight + lineSpacing;
    }
}

void SidebarBlock::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
