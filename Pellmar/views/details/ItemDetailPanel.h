#pragma once

#include "Pellmar/views/details/DetailRules.h"
#include "Pellmar/views/details/PanelFrame.h"

#include <QString>

class ActionBar;
class ItemPreview;
class Library;
class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The inspector's content for the one inspected item: its preview, name, a line when no copy can
// be opened now, the action bar, its facts, every copy, and the copies of other items that are
// probably the same. Reads the Library's selection detail; rebuilt by refresh().
class ItemDetailPanel : public PanelFrame {
    Q_OBJECT
public:
    explicit ItemDetailPanel(Library& library, QWidget* parent = nullptr);

    void refresh();

    ItemPreview& preview() const { return *preview_; }
    ActionBar& actions() const { return *actions_; }
    QLabel& statusText() const { return *statusText_; }
    QLabel& copiesHeader() const { return *copiesHeader_; }
    // The facts as shown, "Label: value" per line.
    QStringList factLines() const;

private:
    // The copies a list of rows was made for, and what the rows showed.
    struct ShownCopies {
        QList<Location> locations;
        QList<inspector::CopyRow> rows;
        // Whether these locations, reachable as `online` says, need new rows; remembers them if so.
        bool update(const QList<Location>& newLocations, const QSet<QString>& online);
    };
    void fillCopyRows(QVBoxLayout& rows, const QList<Location>& locations, QWidget* parent);

    Library& library_;
    QString shownID_;
    ItemPreview* preview_;
    QLabel* title_;
    QWidget* status_;
    QLabel* statusText_;
    QPushButton* download_;
    ActionBar* actions_;
    QGridLayout* facts_;
    QLabel* copiesHeader_;
    QVBoxLayout* copies_;
    QWidget* probable_;
    QVBoxLayout* probableRows_;
    QList<inspector::Fact> shownFacts_;
    ShownCopies shownCopies_;
    ShownCopies shownProbable_;
};
