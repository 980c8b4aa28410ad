#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/device/CardCells.h"
#include "Pellmar/views/device/CardPreviews.h"
#include "Pellmar/views/grid/TileGrid.h"

#include <functional>
#include <memory>
#include <optional>

class Library;
class TaskPools;

// What the card grid asks of the Library.
struct CardGridActions {
    // The files shown for the device: its listing filtered by the search text and in the grid's
    // order; none while it is being listed.
    std::function<std::optional<QList<CardFile>>(const QString& device)> visibleFiles;
    std::function<void(const CardFile& file, const QList<CardFile>& visible, bool command, bool shift)> click;
    // A click on empty space: no focused file, nothing ticked.
    std::function<void()> clearSelection;
    CardPreviews::Reader preview;

    static CardGridActions of(Library& library);
};

// The media files of a card or drive before import, as tiles like the item grid's: a preview once
// it has been made (a symbol of the file's kind until then), the file's name, kind and size, and
// the stroke of a ticked file. Clicks tick files through the Library, Command and Shift as the
// keyboard holds them; a double click counts as two clicks. Over the grid, a message while the
// card is being listed or no file is shown.
class CardGrid : public TileGrid {
    Q_OBJECT
public:
    CardGrid(Library& library, QWidget* parent = nullptr);
    CardGrid(Library& library, CardGridActions actions, TaskPools& pools, QWidget* parent = nullptr);
    ~CardGrid() override;

    // The device whose files are shown; none shows nothing.
    void setDevice(const std::optional<Device>& device);

    const cards::Overlay& overlay() const { return overlay_; }
    const CardPreviews& previews() const { return *previews_; }
    // The files the tiles show, in tile order; none before the card is listed.
    const std::optional<QList<CardFile>>& files() const { return files_; }

protected:
    QModelIndex moveCursor(CursorAction, Qt::KeyboardModifiers) override { return {}; }
    void tilesMoved() override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent*) override {}

private:
    // Reads the files shown, then applies their cells.
    void rebuild();
    void applyCells();
    void clickAt(QMouseEvent* event);
    void paintOverlay(QPainter& painter);

    Library& library_;
    CardGridActions actions_;
    std::optional<Device> device_;
    std::optional<QList<CardFile>> files_;
    cards::Overlay overlay_;
    CardPreviews* previews_;
};
