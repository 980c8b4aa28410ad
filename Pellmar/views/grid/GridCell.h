#pragma once

// What one tile of the item grid shows, computed from the item and the few Library values that
// concern it. The model keeps one Cell per item and tells the view about a row only when its Cell
// changes, so unrelated changes of the Library redraw no tile.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <optional>

namespace grid {

// A duration in seconds as minutes and seconds, "%d:%02d", with no hour field: 3725 s read
// "62:05", 75.4 s "1:15". Halves round away from zero; a duration that is not finite or is
// negative reads "0:00", and one beyond the largest count of seconds saturates there.
QString durationText(double seconds);

// The description of a MIME type ("PDF document"), or "Document" for a type that is not known.
// Safe on any thread.
QString typeDescription(const QString& mimeType);
// Loads the MIME database, which its first user otherwise waits for; for a worker at start-up.
void loadTypeDatabase();

enum class TileContent {
    placeholder,   // the fullscreen viewer shows this selected item
    typeIcon,      // a document without a preview: its type's icon on a half-transparent panel
    picture,       // the preview file, or the placeholder until it is decoded or when there is none
};

// The Library values one cell depends on.
struct CellInputs {
    bool selected = false;
    bool fullscreen = false;
    qint64 copies = 0;                       // 0 when the search gave no count
    const QList<Location>* locations = nullptr;   // none when the search gave none
    std::optional<QString> previewPath;      // the item's preview, poster or photo proxy file
    std::optional<QString> tileImagePath;    // the small picture beside that file, when it may have one
};

struct Cell {
    QString id;
    QString name;
    QString caption;
    TileContent content = TileContent::picture;
    std::optional<QString> picturePath;
    std::optional<QString> tileImagePath;       // shown in its place when it exists and is large enough
    std::optional<QString> placeholderSymbol;   // drawn on the fill while there is no picture
    QString mimeType;                        // for the type icon
    std::optional<QString> copiesBadge;      // "2 copies"
    bool cloudBadge = false;                 // every copy is only in the cloud
    std::optional<QString> durationBadge;    // a video's length
    bool selected = false;

    bool operator==(const Cell&) const = default;
};

// The cell of `item` with `caption` (cellCaption of the item and its locations, which the grid
// keeps from one rebuild to the next while they are unchanged).
Cell makeCell(const Item& item, const CellInputs& inputs, const QString& caption);

// The caption under the name: a document's type and largest size; else the capture date; else
// the kind.
QString cellCaption(const Item& item, const QList<Location>& locations);

} // namespace grid
