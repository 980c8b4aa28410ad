#pragma once

#include "Pellmar/views/grid/GridActions.h"

class Library;

// The grid's actions as the Library's operations.
class LibraryGridActions final : public GridActions {
public:
    explicit LibraryGridActions(Library& library) : library_(library) {}

    void select(const std::optional<Item>& item) override;
    void extendSelection(const Item& item) override;
    void click(const Item& item, int clickCount, std::optional<double> time, bool command, bool shift) override;
    void open(const Item& item) override;
    void quickLook(const QList<Item>& items) override;
    QList<Item> selectedItems() const override;
    void selectAll() override;
    void trashSelection() override;
    void copySelection() override;
    bool acceptsPaste(const QString& sourceID, const QString& path) const override;
    void paste(const QString& sourceID, const QString& path) override;
    std::optional<QString> previewPath(const Item& item) const override;
    std::optional<QString> tileImagePath(const Item& item) const override;
    void setPointerInGrid(bool inside) override;

private:
    Library& library_;
};
