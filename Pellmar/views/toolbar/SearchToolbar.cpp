#include "Pellmar/views/toolbar/SearchToolbar.h"

#include "Pellmar/views/toolbar/SearchBar.h"

#include <QHBoxLayout>

SearchToolbar::SearchToolbar(Library& library, QWidget* parent) : QWidget(parent), bar_(new SearchBar(library, this))
{
    setObjectName(QStringLiteral("searchToolbar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->addStretch(1);
    layout->addWidget(bar_);
    layout->addStretch(1);
}

void SearchToolbar::setBarWidth(int width)
{
    bar_->setFixedWidth(width);
}
