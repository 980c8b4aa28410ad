#include "Pellmar/views/kit/ElidedLabel.h"

#include "Pellmar/views/kit/PlainText.h"

#include <algorithm>

ElidedLabel::ElidedLabel(QWidget* parent, Qt::TextElideMode mode)
    : QLabel(parent)
    , mode_(mode)
{
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text)
{
    if (text == fullText_)
        return;
    fullText_ = text;
    setToolTip(plainToolTip(text));
    updateGeometry();
    elide();
}

QSize ElidedLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(fullText_) + margins.left() + margins.right(), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    setText(fontMetrics().elidedText(fullText_, mode_, std::max(width(), 0)));
}
