#pragma once

#include "Pellmar/index/Model.h"

#include <QDialog>

#include <optional>

class DestinationBrowser;
class Library;
class QPushButton;

// The sheet in which the user picks the default import destination in the destination chooser:
// a folder of an indexed location or an album of the photo library, never a new album. "Use This
// Destination" stores the choice as the default; Cancel and Escape store nothing.
class DestinationSheet : public QDialog {
    Q_OBJECT
public:
    DestinationSheet(Library& library, std::optional<ImportTarget> choice, QWidget* parent);

    const std::optional<ImportTarget>& choice() const { return choice_; }
    void setChoice(const std::optional<ImportTarget>& choice);
    DestinationBrowser& browser() const { return *browser_; }
    QPushButton& useButton() const { return *use_; }

private:
    Library& library_;
    std::optional<ImportTarget> choice_;
    DestinationBrowser* browser_;
    QPushButton* use_;
};
