#include "Pellmar/views/details/PanelFrame.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/kit/WrappingLabel.h"

#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

void setTextStyle(QLabel& label, TextStyle style, bool secondary)
{
    QFont font = label.font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    switch (style) {
    case TextStyle::headline: font.setBold(true); break;
    case TextStyle::callout: break;
    case TextStyle::caption: font.setPointSizeF(base * 0.88); break;
    case TextStyle::caption2: font.setPointSizeF(base * 0.8); break;
    }
    label.setFont(font);
    if (secondary) {
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, secondaryTextColor(palette));
        label.setPalette(palette);
    }
}

} // namespace

PanelFrame::PanelFrame(QWidget* parent)
    : QScrollArea(parent)
    , content_(new QWidget(this))
    , column_(new QVBoxLayout(content_))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar only while the content is taller than the pane, as the desktop shows them.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    column_->setContentsMargins(16, 16, 16, 16);
    column_->setSpacing(14);
    column_->setAlignment(Qt::AlignTop);
    setWidget(content_);
}

void PanelFrame::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    // After the layout has placed the content, where it begins in the window.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            qCInfo(logSelection, "inspector content top: %f", double(content_->mapTo(window(), QPoint(0, 0)).y()));
    });
}

QLabel* panelLabel(TextStyle style, bool secondary, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    setTextStyle(*label, style, secondary);
    return label;
}

QLabel* panelTitle(QWidget* parent)
{
    auto* title = new WrappingLabel(parent);
    setTextStyle(*title, TextStyle::headline, false);
    return title;
}

ElidedLabel* elidedPanelLabel(TextStyle style, bool secondary, QWidget* parent, Qt::TextElideMode mode)
{
    auto* label = new ElidedLabel(parent, mode);
    setTextStyle(*label, style, secondary);
    return label;
}

QWidget* panelDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

void clearLayout(QLayout& layout)
{
    while (QLayoutItem* old = layout.takeAt(0)) {
        delete old->widget();
        delete old;
    }
}
