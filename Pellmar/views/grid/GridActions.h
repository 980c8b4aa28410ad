#pragma once

// The Library operations the item grid calls. The grid reads Library's state itself and acts
// only through this interface, so that tests can record what a click or a key asks for.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <optional>

class GridActions {
public:
    virtual ~GridActions() = default;

    // Selection and opening
    virtual void select(const std::optional<Item>& item) = 0;
    virtual void extendSelection(const Item& item) = 0;
    // `time`: when the click happened, in seconds of the system's uptime clock.
    virtual void click(const Item& item, int clickCount, std::optional<double> time, bool command, bool shift) = 0;
    virtual void open(const Item& item) = 0;
    virtual void quickLook(const QList<Item>& items) = 0;
    virtual QList<Item> selectedItems() const = 0;
    virtual void selectAll() = 0;

    // Edit commands
    virtual void trashSelection() = 0;
    virtual void copySelection() = 0;
    virtual bool acceptsPaste(const QString& sourceID, const QString& path) const = 0;
    virtual void paste(const QString& sourceID, const QString& path) = 0;

    // The item's preview, poster or photo proxy file, whether or not it exists.
    virtual std::optional<QString> previewPath(const Item& item) const = 0;
    // The small picture that a tile may show in place of that file, when the program wrote the
    // file and so the picture beside it; whether or not it exists.
    virtual std::optional<QString> tileImagePath(const Item&) const { return std::nullopt; }
    virtual void setPointerInGrid(bool inside) = 0;
};
