#include "Pellmar/views/sidebar/DeviceRow.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/sidebar/DeviceRowRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

constexpr int symbolSize = 18;
constexpr qreal cornerRadius = 7;
constexpr qreal selectedOpacity = 0.18;
// Space between the row's highlight and the sidebar's edges.
constexpr int outerMargin = 6;

} // namespace

DeviceRow::DeviceRow(Library& library, const Device& device, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , device_(device)
    , symbol_(new QLabel(this))
    , name_(new ElidedLabel(this))
    , used_(new QLabel(this))
    , eject_(new QToolButton(this))
{
    setObjectName(QStringLiteral("deviceRow"));
    setFixedHeight(rowHeight);
    setContextMenuPolicy(Qt::CustomContextMenu);

    QFont nameFont = name_->font();
    nameFont.setPixelSize(14);
    name_->setFont(nameFont);
    QFont captionFont = used_->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.85);
    used_->setFont(captionFont);
    used_->setTextFormat(Qt::PlainText);
    QPalette usedPalette = used_->palette();
    usedPalette.setColor(QPalette::WindowText, secondaryTextColor(palette()));
    used_->setPalette(usedPalette);

    eject_->setObjectName(QStringLiteral("eject"));
    eject_->setAutoRaise(true);
    eject_->setIcon(Icons::icon(QStringLiteral("eject.fill"), secondaryTextColor(palette())));
    eject_->setToolTip(QStringLiteral("Eject"));
    eject_->setAccessibleName(QStringLiteral("Eject"));
    eject_->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(outerMargin + 10, 0, outerMargin + 12, 0);
    row->setSpacing(6);
    row->addWidget(symbol_);
    row->addWidget(name_, 1);
    row->addWidget(used_);
    row->addWidget(eject_);

    connect(eject_, &QToolButton::clicked, this, [this] { Q_EMIT ejectRequested(device_); });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { popupMenu(mapToGlobal(position)); });
    new CoalescedRefresh(library_, {Library::Prop::selectedDevice},
                         [this](const QSet<Library::Prop>&) { refresh(); }, this);
    refresh();
}

void DeviceRow::setDevice(const Device& device)
{
    if (device == device_)
        return;
    device_ = device;
    refresh();
}

void DeviceRow::refresh()
{
    const DeviceRowLook look = deviceRowLook(device_, library_.selectedDevice());
    symbol_->setPixmap(Icons::pixmap(look.symbol, symbolSize, palette().color(QPalette::WindowText),
                                     devicePixelRatioF()));
    name_->setFullText(look.name);
    used_->setText(look.usedText);
    if (look.selected != selected_) {
        selected_ = look.selected;
        update();
    }
}

QMenu* DeviceRow::popupMenu(const QPoint& globalPosition)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(QStringLiteral("Index This Drive")), &QAction::triggered, this,
            [this] { Q_EMIT indexRequested(device_); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Eject")), &QAction::triggered, this,
            [this] { Q_EMIT ejectRequested(device_); });
    menu->popup(globalPosition);
    return menu;
}

void DeviceRow::setHovering(bool hovering)
{
    used_->setVisible(!hovering);
    eject_->setVisible(hovering);
}

void DeviceRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void DeviceRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void DeviceRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        library_.selectDevice(device_);
    QWidget::mouseReleaseEvent(event);
}

void DeviceRow::paintEvent(QPaintEvent*)
{
    if (!selected_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Highlight);
    fill.setAlphaF(selectedOpacity);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(outerMargin, 0, -outerMargin, 0), cornerRadius, cornerRadius);
    painter.fillPath(path, fill);
}
