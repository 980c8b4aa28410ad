#include "Pellmar/views/strip/StripBlock.h"

#include "Pellmar/views/kit/TextColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int inset = 12;
constexpr int rowSpacing = 6;
// The shade of a block: the text colour at a few percent.
constexpr int shadeAlpha = 10;

} // namespace

StripBlock::StripBlock(const QString& name, bool rows, QWidget* parent)
    : QFrame(parent)
{
    setObjectName(name);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    if (rows)
        content_ = new QVBoxLayout(this);
    else
        content_ = new QHBoxLayout(this);
    content_->setContentsMargins(inset, inset, inset, inset + 1);   // one more for the divider
    content_->setSpacing(rowSpacing);
}

QHBoxLayout* StripBlock::addRow()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(rowSpacing);
    content_->addLayout(row);
    return row;
}

QLabel* StripBlock::label(const QString& name, Text text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    style(label, name, text);
    return label;
}

void StripBlock::style(QLabel* label, const QString& name, Text text)
{
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    // Counts keep the body font: the interface fonts of the desktop draw digits of equal width.
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * (text == Text::caption ? 0.85 : 1.0));
    if (text == Text::title)
        font.setWeight(QFont::Medium);
    label->setFont(font);
    if (text == Text::counts || text == Text::caption) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, secondaryTextColor(label->palette()));
        label->setPalette(palette);
    }
}

QProgressBar* StripBlock::bar(const QString& name, QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setFixedHeight(6);
    return bar;
}

QPushButton* StripBlock::button(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    QFont font = button->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    button->setFont(font);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

void StripBlock::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    QColor shade = palette().color(QPalette::WindowText);
    shade.setAlpha(shadeAlpha);
    painter.fillRect(rect().adjusted(0, 0, 0, -1), shade);
    painter.fillRect(QRect(0, height() - 1, width(), 1), palette().color(QPalette::Mid));
    QFrame::paintEvent(event);
}
