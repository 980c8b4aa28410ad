#pragma once

#include <QTimer>
#include <QWidget>

class Library;
class QLabel;
class QLineEdit;
class QToolButton;

// The window's control for searching, filtering and sorting the grid: a search capsule (symbol,
// text field, "Only here" chip, clear button) and the kind and sort menu buttons. The text field
// edits Library's query; 150 ms after the last change of the query (typed, cleared or brought back
// by navigation) and once after the bar is first shown, the Library searches. Everything shown is
// read from the Library; the bar keeps no browsing state of its own.
class SearchBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int debounceMs = 150;
    static constexpr int capsuleHeight = 36;
    static constexpr int menuButtonSide = 36;

    explicit SearchBar(Library& library, QWidget* parent = nullptr);

    QLineEdit& field() const { return *field_; }
    QToolButton& kindButton() const { return *kindButton_; }
    QToolButton& sortButton() const { return *sortButton_; }
    QToolButton& onlyHereChip() const { return *chip_; }
    QToolButton& clearButton() const { return *clear_; }
    const QTimer& debounce() const { return debounce_; }

Q_SIGNALS:
    // Escape in the field: the query was emptied and the grid should take the keyboard.
    void focusGridRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void runSearch();
    void popupKindMenu();
    void popupSortMenu();

    Library& library_;
    QWidget* capsule_;
    QLabel* symbol_;
    QLineEdit* field_;
    QToolButton* chip_;
    QToolButton* clear_;
    QToolButton* kindButton_;
    QToolButton* sortButton_;
    QTimer debounce_;
};
