#pragma once

#include "Pellmar/views/device/ImportPlan.h"
#include "Pellmar/views/frame/AlertDialog.h"

#include <QDialog>
#include <QPointer>

#include <optional>

class CoalescedRefresh;
class DestinationBrowser;
class Library;
class QCheckBox;
class QLabel;
class QPushButton;

// The sheet in which the photos and videos of a card go into a folder or a photo library album:
// the destination chooser, whether files already indexed are skipped, whether each original is
// deleted from the card once its copy is checked, and a line that says what will happen. "Import"
// hands the files to the Library and closes; the Library copies, checks, deletes and reports.
class ImportSheet : public QDialog {
    Q_OBJECT
public:
    ImportSheet(Library& library, Device device, QWidget* parent);
    ~ImportSheet() override;

    const ImportPlan& plan() const { return plan_; }
    DestinationBrowser& browser() const { return *browser_; }
    QCheckBox& skipToggle() const { return *skip_; }
    QCheckBox& deleteToggle() const { return *delete_; }
    QPushButton& importButton() const { return *import_; }
    QLabel& planLabel() const { return *planLine_; }
    AlertDialog* deleteConfirmation() const { return confirmation_; }
    bool checking() const { return checking_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void setTarget(const std::optional<ImportTarget>& target);
    void deleteToggled(bool on);
    void runImport();
    // Asks the Library once per sheet which of the card's files it already holds, when skipping
    // is on and the card is listed.
    void checkKnownFiles();

    Library& library_;
    const Device device_;
    std::optional<QSet<QString>> known_;
    bool knownCompared_ = false;   // known_ was compared in full, as deleting after the import needs
    bool checking_ = false;
    std::optional<ImportTarget> target_;
    bool deleteAfter_ = false;
    bool deleteConfirmed_ = false;
    bool targetAsked_ = false;
    ImportPlan plan_;

    QLabel* subtitle_;
    DestinationBrowser* browser_;
    QCheckBox* skip_;
    QCheckBox* delete_;
    QLabel* planLine_;
    QPushButton* import_;
    CoalescedRefresh* refresh_;
    QPointer<AlertDialog> confirmation_;
};
