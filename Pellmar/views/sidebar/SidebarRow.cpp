#include "Pellmar/views/sidebar/SidebarRow.h"

#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int outerMargin = 6;   // between the highlight and the sidebar's edges
constexpr int trailingPadding = 12;
constexpr int spacing = 6;
constexpr int chevronWidth = 12;
constexpr int chevronHeight = 18;
constexpr int chevronSize = 10;
constexpr int iconBox = 18;
constexpr int iconSize = 16;
constexpr int dotSize = 8;
constexpr qreal cornerRadius = 7;
constexpr qreal selectedOpacity = 0.18;
// The hover fill, as a part of the selected one.
constexpr qreal hoverLevel = 0.4;
constexpr qreal focusRingWidth = 2;
// A change of the highlight or the chevron eases out over this time.
constexpr int changeMilliseconds = 150;

QFont nameFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(14);
    return font;
}

QFont smallFont(const QFont& base, qreal scale)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * scale);
    return font;
}

} // namespace

SidebarRow::SidebarRow(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void SidebarRow::setFocusRing(bool shown)
{
    if (focusRing_ == shown)
        return;
    focusRing_ = shown;
    update();
}

void SidebarRow::setupEased(Eased& part)
{
    part.animation = new QVariantAnimation(this);
    part.animation->setDuration(changeMilliseconds);
    part.animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(part.animation, &QVariantAnimation::valueChanged, this, [this, &part](const QVariant& value) {
        part.level = value.toReal();
        update();
    });
}

void SidebarRow::ease(Eased& part, qreal target, bool smoothly)
{
    if (part.animation && part.animation->state() == QAbstractAnimation::Running) {
        if (part.animation->endValue().toReal() == target)
            return;
        part.animation->stop();
    }
    if (!smoothly || part.level == target) {
        part.level = target;
        return;
    }
    // Made on first use: most rows of a long list never animate.
    if (!part.animation)
        setupEased(part);
    part.animation->setStartValue(part.level);
    part.animation->setEndValue(target);
    part.animation->start();
}

void SidebarRow::setLook(const SidebarLook& look)
{
    if (hasLook_ && look == look_)
        return;
    const bool heightChanged = look.caption.isEmpty() != look_.caption.isEmpty();
    const bool onScreen = isOnScreen();
    const bool smoothly = hasLook_ && onScreen;
    look_ = look;
    hasLook_ = true;
    ease(highlight_, look_.selected ? 1 : 0, smoothly);
    ease(chevron_, look_.chevron.value_or(false) ? 1 : 0, smoothly);
    setAccessibleName(look_.text);
    if (heightChanged)
        updateGeometry();
    // Every update marks the row for the next paint, and each marked row costs that paint a pass
    // over all its siblings: thousands of rows out of sight would hold the GUI thread for long.
    if (onScreen)
        update();
}

bool SidebarRow::isOnScreen() const
{
    if (!isVisible())
        return false;
    QRect shown = rect();
    for (const QWidget* widget = this; !widget->isWindow() && widget->parentWidget(); widget = widget->parentWidget()) {
        shown.translate(widget->pos());
        shown &= widget->parentWidget()->rect();
        if (shown.isEmpty())
            return false;
    }
    return true;
}

QSize SidebarRow::sizeHint() const
{
    return {200, sidebarRowHeight(!look_.caption.isEmpty())};
}

QRect SidebarRow::chevronRect() const
{
    if (!look_.chevron)
        return {};
    // A little wider than drawn, so the small target is easy to hit.
    const int left = sidebarRowIndent(look_.depth);
    return QRect(left - 4, (height() - chevronHeight) / 2, chevronWidth + 8, chevronHeight);
}

void SidebarRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor secondary = secondaryTextColor(pal);

    const QRectF plate = QRectF(rect()).adjusted(outerMargin, 0, -outerMargin, 0);
    const qreal fillLevel = std::max(highlight_.level, underMouse() ? hoverLevel : 0.0);
    if (fillLevel > 0) {
        QColor fill = pal.color(QPalette::Highlight);
        fill.setAlphaF(selectedOpacity * fillLevel);
        QPainterPath path;
        path.addRoundedRect(plate, cornerRadius, cornerRadius);
        painter.fillPath(path, fill);
    }
    if (focusRing_) {
        painter.setPen(QPen(pal.color(QPalette::Highlight), focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = focusRingWidth / 2.0;
        painter.drawRoundedRect(plate.adjusted(inset, inset, -inset, -inset), cornerRadius, cornerRadius);
    }

    const qreal ratio = devicePixelRatioF();
    const int middle = height() / 2;
    int x = sidebarRowIndent(look_.depth);
    if (look_.chevron || look_.reservesChevron) {
        if (look_.chevron) {
            const QPixmap chevron = Icons::pixmap(QStringLiteral("chevron.right"), chevronSize, secondary, ratio);
            painter.save();
            painter.translate(x + chevronWidth / 2.0, middle);
            painter.rotate(90 * chevron_.level);
            painter.drawPixmap(QPointF(-chevronSize / 2.0, -chevronSize / 2.0), chevron);
            painter.restore();
        }
        x += chevronWidth + spacing;
    }

    const QPixmap icon = Icons::pixmap(look_.icon, iconSize, pal.color(QPalette::WindowText), ratio);
    painter.drawPixmap(x + (iconBox - iconSize) / 2, middle - iconSize / 2, icon);
    x += iconBox + spacing;

    // From the trailing end: the count, then the dot.
    int right = width() - outerMargin - trailingPadding;
    const QString count = sidebarCountText(look_.count);
    if (!count.isEmpty()) {
        QFont countFont = smallFont(font(), 0.85);
        painter.setFont(countFont);
        painter.setPen(secondary);
        const int countWidth = painter.fontMetrics().horizontalAdvance(count);
        painter.drawText(QRect(right - countWidth, 0, countWidth, height()), Qt::AlignVCenter | Qt::AlignRight, count);
        right -= countWidth + spacing;
    }
    if (look_.dot) {
        QColor dot = *look_.dot ? QColor(0x34c759) : secondary;
        if (!*look_.dot)
            dot.setAlphaF(0.4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(dot);
        painter.drawEllipse(QRectF(right - dotSize, middle - dotSize / 2.0, dotSize, dotSize));
        right -= dotSize + spacing;
    }

    const int textWidth = std::max(0, right - x);
    const QFont name = nameFont(font());
    const QFontMetrics nameMetrics(name);
    painter.setFont(name);
    painter.setPen(pal.color(QPalette::WindowText));
    const QString shownName = nameMetrics.elidedText(look_.text, Qt::ElideMiddle, textWidth);
    nameShortened_ = shownName != look_.text;
    if (look_.caption.isEmpty()) {
        painter.drawText(QRect(x, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, shownName);
        return;
    }
    const QFont caption = smallFont(font(), 0.8);
    const QFontMetrics captionMetrics(caption);
    const int block = nameMetrics.height() + captionMetrics.height();
    const int top = (height() - block) / 2;
    painter.drawText(QRect(x, top, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, shownName);
    painter.setFont(caption);
    painter.setPen(secondary);
    painter.drawText(QRect(x, top + nameMetrics.height(), textWidth, captionMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     captionMetrics.elidedText(look_.caption, Qt::ElideMiddle, textWidth));
}

bool SidebarRow::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // The whole name, only where the row shortens it.
    if (nameShortened_)
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), Qt::convertFromPlainText(look_.text), this);
    else
        QToolTip::hideText();
    return true;
}

void SidebarRow::mousePressEvent(QMouseEvent* event)
{
    pressedOnChevron_ = chevronRect().contains(event->position().toPoint());
    event->accept();
}

void SidebarRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    if (pressedOnChevron_ && chevronRect().contains(event->position().toPoint()))
        Q_EMIT chevronClicked();
    else
        Q_EMIT clicked();
}

void SidebarRow::contextMenuEvent(QContextMenuEvent* event)
{
    Q_EMIT menuRequested(event->globalPos());
}
