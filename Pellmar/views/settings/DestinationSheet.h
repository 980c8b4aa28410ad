#pragma once

#include "Pellmar/index/Model.h"

#include <QDialog>

#include <optional>

class Library;
class QListWidget;
class QPushButton;

// The sheet in which the user picks the default import destination: the destinations the Library
// knows (the current choice, the recent ones, the folders that may receive an import) and any
// other folder through a folder chooser. "Use This Destination" stores the choice as the default;
// Cancel and Escape store nothing. A new album cannot be chosen here.
class DestinationSheet : public QDialog {
    Q_OBJECT
public:
    DestinationSheet(Library& library, std::optional<ImportTarget> choice, QWidget* parent);

    const std::optional<ImportTarget>& choice() const { return choice_; }
    void setChoice(const std::optional<ImportTarget>& choice);
    QListWidget& list() const { return *list_; }
    QPushButton& useButton() const { return *use_; }

private:
    void fillList();
    void chooseFolder();

    Library& library_;
    std::optional<ImportTarget> choice_;
    QList<ImportTarget> listed_;
    QListWidget* list_;
    QPushButton* use_;
};
