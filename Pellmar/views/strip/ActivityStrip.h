#pragma once

#include "Pellmar/index/Model.h"

#include <QWidget>

#include <memory>

struct ActivityBlocks;
class CoalescedRefresh;
class Library;

// The status band above the grid: the relink note, a card import's progress or result, and what the
// background work does (a scan, quick indexing, files waiting, larger previews), with the buttons
// that stop, pause or resume it. Its blocks are built once and updated in place, so a tick of the
// status counters keeps the pointer's hover and a pressed button; a block is hidden while it has
// nothing to say.
class ActivityStrip : public QWidget {
    Q_OBJECT
public:
    explicit ActivityStrip(Library& library, QWidget* parent = nullptr);
    ~ActivityStrip() override;

Q_SIGNALS:
    // The result row's eject button: the card the import read from should be ejected.
    void ejectRequested(const Device& device);

private:
    struct Parts;

    void build();
    void connectButtons();
    void showBlocks(const ActivityBlocks& blocks);

    Library& library_;
    std::unique_ptr<Parts> parts_;
    CoalescedRefresh* refresh_;
};
