#pragma once

#include "Pellmar/library/Library.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// What the main window's sheets show and what its confirmations do. A confirmation whose
// operation is empty keeps its confirming button off; a sheet without a view shows a plain sheet
// with the device or workspace it is for.
struct DialogActions {
    std::function<void(const Workspace&)> removeWorkspace;
    std::function<void(const QList<ItemCopy>&)> moveToTrash;
    std::function<void(const Source&)> removeSource;
    std::function<void(const ItemCopy&, const QString& newName)> rename;
    std::function<void(const ItemCopy&)> trash;
    std::function<QDialog*(const Device&, QWidget* parent)> importSheet;
    std::function<QDialog*(const Workspace&, QWidget* parent)> workspaceSheet;
};

// Presents the window's sheets and confirmations while the Library property that asks for each is
// set, one at a time for the whole Library and only in the active window, opened with open().
// Closing one sets its property back to nothing; setting the property to nothing (or to another
// value) elsewhere closes it. When several are asked for, they come in this order: a damaged index
// (Rebuild Index or Quit, which stays until the program ends or starts again), the import sheet,
// the workspace sheet, deleting a workspace, trashing a group, stopping a source, renaming
// a copy, trashing one copy.
class DialogPresenter : public QObject {
    Q_OBJECT
public:
    enum class Surface { indexDamage, importSheet, workspaceSheet, deleteWorkspace, trashGroup, stopIndexing, rename, trashCopy };

    DialogPresenter(Library& library, QWidget& window, DialogActions actions);
    ~DialogPresenter() override;

    QDialog* dialog() const { return dialog_; }
    std::optional<Surface> surface() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    // Whether this window holds the keyboard, or held it last while no window holds it.
    bool mayPresent() const;
    // The first surface whose property is set, with a key of the value it presents.
    std::optional<std::pair<Surface, QString>> wanted() const;
    QDialog* build(Surface surface);
    QDialog* buildIndexDamage();
    QDialog* buildRename();
    void finished(Surface surface);
    void clear(Surface surface);

    Library& library_;
    QWidget& window_;
    DialogActions actions_;
    QPointer<QDialog> dialog_;
    Surface surface_ = Surface::importSheet;
    QString presentedKey_;
    bool dismissing_ = false;
};
