#include "Pellmar/views/grid/LibraryGridActions.h"

#include "Pellmar/library/Library.h"

void LibraryGridActions::select(const std::optional<Item>& item)
{
    library_.select(item);
}

void LibraryGridActions::extendSelection(const Item& item)
{
    library_.extendSelection(item);
}

void LibraryGridActions::click(const Item& item, int clickCount, std::optional<double> time, bool command, bool shift)
{
    library_.click(item, clickCount, time, command, shift);
}

void LibraryGridActions::open(const Item& item)
{
    library_.open(item);
}

void LibraryGridActions::quickLook(const QList<Item>& items)
{
    library_.quickLook(items);
}

QList<Item> LibraryGridActions::selectedItems() const
{
    return library_.selectedItems();
}

void LibraryGridActions::selectAll()
{
    library_.selectAll();
}

void LibraryGridActions::trashSelection()
{
    library_.trashSelection();
}

void LibraryGridActions::copySelection()
{
    library_.copySelection();
}

bool LibraryGridActions::acceptsPaste(const QString& sourceID, const QString& path) const
{
    return library_.canPaste(sourceID, path);
}

void LibraryGridActions::paste(const QString& sourceID, const QString& path)
{
    library_.paste(sourceID, path);
}

std::optional<QString> LibraryGridActions::previewPath(const Item& item) const
{
    return library_.previewURL(item);
}

std::optional<QString> LibraryGridActions::tileImagePath(const Item& item) const
{
    return library_.tileImageURL(item);
}

void LibraryGridActions::setPointerInGrid(bool inside)
{
    library_.pointerInGrid = inside;
}
