#include "Pellmar/views/grid/LibraryGridActions.h"

#include "Pellmar/library/Library.h"

// The operations the Library does not offer yet do nothing here: selection, opening and the edit
// commands each arrive with their own Library operations, and are wired in then.

void LibraryGridActions::select(const std::optional<Item>&) {}

void LibraryGridActions::extendSelection(const Item&) {}

void LibraryGridActions::click(const Item&, int, std::optional<double>, bool, bool) {}

void LibraryGridActions::open(const Item&) {}

void LibraryGridActions::quickLook(const QList<Item>&) {}

QList<Item> LibraryGridActions::selectedItems() const
{
    return {};
}

void LibraryGridActions::selectAll() {}

void LibraryGridActions::trashSelection()
{
    library_.trashSelection();
}

void LibraryGridActions::copySelection() {}

bool LibraryGridActions::acceptsPaste(const QString& sourceID, const QString& path) const
{
    return library_.canPaste(sourceID, path);
}

void LibraryGridActions::paste(const QString& sourceID, const QString& path)
{
    library_.paste(sourceID, path);
}

// A video's poster, else the preview, else a photo proxy in HEIC, in the "Proxies" folder.
std::optional<QString> LibraryGridActions::previewPath(const Item& item) const
{
    const QString stem = library_.proxyDirectory() + u'/' + item.id;
    if (item.kind == MediaKind::video && !item.posterExtension.isEmpty())
        return stem + QStringLiteral(".poster.") + item.posterExtension;
    if (!item.previewExtension.isEmpty())
        return stem + QStringLiteral(".preview.") + item.previewExtension;
    if (item.proxyExtension == QLatin1String("heic"))
        return stem + QStringLiteral(".heic");
    return std::nullopt;
}

void LibraryGridActions::setPointerInGrid(bool inside)
{
    library_.pointerInGrid = inside;
}
