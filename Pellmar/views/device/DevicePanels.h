#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/details/PanelFrame.h"

#include <optional>

class CaptureDates;
class Library;
class QGridLayout;
class QLabel;
class QPushButton;

// The details pane's panels while a drive or card is selected in the sidebar: the device itself,
// one focused card file, or several ticked ones. Each shows the selected device's state in the
// Library on refresh(), and each offers the import of the card, which opens the import sheet.

// The device: what it holds, how full it is, and Import…, Index and Eject.
class DevicePanel : public PanelFrame {
    Q_OBJECT
public:
    explicit DevicePanel(Library& library, QWidget* parent = nullptr);
    void refresh();

    QLabel& nameLabel() const { return *name_; }
    QLabel& usageLabel() const { return *usage_; }
    QWidget& lookingRow() const { return *looking_; }
    // "Label: value" per row of the counts, empty while the card is being listed.
    QStringList factLines() const;
    QPushButton& importButton() const { return *import_; }
    QPushButton& indexButton() const { return *index_; }
    QPushButton& ejectButton() const { return *eject_; }

private:
    Library& library_;
    std::optional<Device> device_;
    QLabel* name_;
    QLabel* usage_;
    QWidget* looking_;
    QWidget* factsBox_;
    QGridLayout* facts_;
    QPushButton* import_;
    QPushButton* index_;
    QPushButton* eject_;
};

// One focused card file: its name, the device, its kind, size and capture date, read from the file
// away from the GUI thread.
class CardFilePanel : public PanelFrame {
    Q_OBJECT
public:
    explicit CardFilePanel(Library& library, QWidget* parent = nullptr);
    // With the capture dates read by `dates`, which the panel takes over.
    CardFilePanel(Library& library, CaptureDates* dates, QWidget* parent = nullptr);
    void refresh();

    QLabel& nameLabel() const { return *name_; }
    QLabel& deviceLine() const { return *deviceLine_; }
    QStringList factLines() const;
    QPushButton& importButton() const { return *import_; }

private:
    void showFacts();

    Library& library_;
    CaptureDates* dates_;
    std::optional<CardFile> file_;
    std::optional<Device> device_;
    QLabel* name_;
    QLabel* deviceLine_;
    QGridLayout* facts_;
    QPushButton* import_;
};

// Several ticked card files: how many, of which kinds, how large, and Import… of just those.
class CardGroupPanel : public PanelFrame {
    Q_OBJECT
public:
    explicit CardGroupPanel(Library& library, QWidget* parent = nullptr);
    void refresh();

    QLabel& heading() const { return *heading_; }
    QLabel& summary() const { return *summary_; }
    QPushButton& importButton() const { return *import_; }

private:
    Library& library_;
    std::optional<Device> device_;
    QLabel* heading_;
    QLabel* summary_;
    QPushButton* import_;
};
