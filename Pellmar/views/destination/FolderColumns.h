#pragma once

#include "Pellmar/views/destination/FolderColumnsCoordinator.h"

#include <QList>
#include <QWidget>

#include <memory>

class QHBoxLayout;
class QListView;
class QScrollArea;
class QStringListModel;

// The column browser of the folders below one root: column 0 lists the root's subfolders, and
// selecting a folder opens a column with its own. Up to three columns share the width (none
// narrower than 160), and a horizontal scroll bar reaches the others. What it lists and selects
// is the coordinator's; the widget draws its columns and hands clicks to it.
class FolderColumns : public QWidget {
    Q_OBJECT
public:
    FolderColumns(std::unique_ptr<FolderLister> lister, QWidget* parent = nullptr);
    ~FolderColumns() override;

    FolderColumnsCoordinator& coordinator() { return *coordinator_; }
    void update(const FolderColumnsCoordinator::Values& values) { coordinator_->update(values); }
    // The list widget of each column shown, for tests.
    QList<QListView*> columnViews() const { return views_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild(int scrollTo);
    int columnWidth() const;

    std::unique_ptr<FolderLister> lister_;
    std::unique_ptr<FolderColumnsCoordinator> coordinator_;
    QScrollArea* scroll_;
    QWidget* strip_;
    QHBoxLayout* stripLayout_;
    QList<QListView*> views_;
    QList<QStringListModel*> models_;
};
