#include "Pellmar/views/kit/WrappingLabel.h"

#include <QPainter>
#include <QTextLayout>

#include <cmath>

WrappingLabel::WrappingLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QSize WrappingLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

QSize WrappingLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().averageCharWidth() * 4 + margins.left() + margins.right(),
            fontMetrics().height() + margins.top() + margins.bottom()};
}

int WrappingLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    return layOut(width - margins.left() - margins.right(), nullptr) + margins.top() + margins.bottom();
}

void WrappingLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layOut(contentsRect().width(), &painter);
}

int WrappingLabel::layOut(int width, QPainter* painter) const
{
    QTextLayout layout(text(), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const int leading = fontMetrics().leading();
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        height += leading;
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    if (painter)
        layout.draw(painter, contentsRect().topLeft());
    return int(std::ceil(std::max(height, qreal(fontMetrics().height()))));
}
