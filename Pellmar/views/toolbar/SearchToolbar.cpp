#include "Pellmar/views/toolbar/SearchToolbar.h"

#include "Pellmar/views/toolbar/SearchBar.h"

#include <algorithm>

namespace {

constexpr int verticalPadding = 4;

} // namespace

SearchToolbar::SearchToolbar(Library& library, QWidget* parent) : QWidget(parent), bar_(new SearchBar(library, this))
{
    setObjectName(QStringLiteral("searchToolbar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SearchToolbar::setBarWidth(int width)
{
    bar_->setFixedWidth(width);
    placeBar();
}

void SearchToolbar::setColumn(const QWidget* column)
{
    column_ = column;
    placeBar();
}

QSize SearchToolbar::sizeHint() const
{
    return {bar_->width(), bar_->sizeHint().height() + 2 * verticalPadding};
}

QSize SearchToolbar::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void SearchToolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeBar();
}

void SearchToolbar::placeBar()
{
    const int barWidth = bar_->width();
    int middle = width() / 2;
    if (column_ && column_->window() == window())
        middle = mapFrom(window(), column_->mapTo(window(), QPoint(column_->width() / 2, 0))).x();
    const int left = std::clamp(middle - barWidth / 2, 0, std::max(0, width() - barWidth));
    bar_->setGeometry(left, verticalPadding, barWidth, bar_->sizeHint().height());
}
