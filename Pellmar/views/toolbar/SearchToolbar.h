#pragma once

#include <QWidget>

class Library;
class SearchBar;

// The toolbar's item for the search bar: the bar centred, exactly the width the window gives it.
class SearchToolbar : public QWidget {
    Q_OBJECT
public:
    explicit SearchToolbar(Library& library, QWidget* parent = nullptr);

    SearchBar& bar() const { return *bar_; }
    // Resizes the bar at the next layout; its menu buttons keep their size.
    void setBarWidth(int width);

private:
    SearchBar* bar_;
};
