#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class TaskPools;

// Reads folder listings for the column browser away from the GUI thread.
class FolderLister {
public:
    virtual ~FolderLister() = default;
    // Lists the subfolders of `folder` (folderListing); `done` runs on the GUI thread on a later
    // turn of the event loop, never inside list(), unless `context` is gone by then.
    virtual void list(const QString& folder, const QStringList& excluded, QObject* context,
                      std::function<void(const QStringList&)> done) = 0;
};

// Listings on the user-initiated pool.
std::unique_ptr<FolderLister> poolFolderLister(TaskPools& pools);

// The state behind the folder column browser: which folders the columns list, which row of each
// is selected, and a cache of listings read once per reset. The owner hands it the view's values
// with update(); the user's clicks come in through pick(), which reports the folder to the owner.
//
// Column 0 lists the root's subfolders, column n the subfolders of the folder selected in column
// n - 1. A listing not read yet is asked for and the column fills when it arrives; a selection
// that runs through folders not listed yet is followed as their listings arrive. Listings that
// arrive after a reset are dropped.
class FolderColumnsCoordinator : public QObject {
    Q_OBJECT
public:
    struct Values {
        QString root;
        QStringList excluded;
        QString filter;
        int reload = 0;
        std::optional<QString> selection;
    };

    struct Column {
        QString folder;
        std::optional<QStringList> children;   // absent while being read
        int selected = -1;
    };

    explicit FolderColumnsCoordinator(FolderLister& lister, QObject* parent = nullptr);

    // Called with the owner's current values each time they may have changed.
    void update(const Values& values);
    // A click on `row` of `column`; a row of -1 is empty space. Reports the picked folder, or the
    // root when nothing is left selected.
    void pick(int column, int row);

    QList<Column> columns() const;
    // The folders selected, column by column.
    const QStringList& selectedPath() const { return selectedPath_; }

    // Writes the owner's selection.
    std::function<void(const std::optional<QString>&)> onPick;

Q_SIGNALS:
    // The columns, their rows or the selection changed; `scrollTo` is the column to bring into
    // view, or -1.
    void changed(int scrollTo);

private:
    // The listing of `folder` with the filter applied, or nothing while it is being read.
    std::optional<QStringList> children(const QString& folder);
    void select(const std::optional<QString>& target);
    // Follows the pending selection as far as the cached listings allow.
    void followSelection();
    // Asks for the listings of the columns shown that have not been read.
    void askShown();
    void received(quint64 generation, const QString& folder, const QStringList& listing);

    FolderLister& lister_;
    Values parent_;
    std::optional<QString> root_;
    int reload_ = 0;
    QString filter_;
    std::optional<QString> filterParent_;
    QHash<QString, QStringList> cache_;
    QHash<QString, bool> asked_;               // folders whose listing is being read
    quint64 generation_ = 0;                   // raised by every reset
    QStringList selectedPath_;
    std::optional<QString> following_;         // a selection still being walked to
};
