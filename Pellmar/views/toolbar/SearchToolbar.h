#pragma once

#include <QPointer>
#include <QWidget>

class Library;
class SearchBar;

// The toolbar's item for the search bar: the bar exactly the width the window gives it, centred
// over the column the window names (the grid's), else over the toolbar, and kept inside it.
class SearchToolbar : public QWidget {
    Q_OBJECT
public:
    explicit SearchToolbar(Library& library, QWidget* parent = nullptr);

    SearchBar& bar() const { return *bar_; }
    // Resizes the bar and places it again; its menu buttons keep their size.
    void setBarWidth(int width);
    // The widget of the same window whose middle the bar stands over; none centres it in the toolbar.
    void setColumn(const QWidget* column);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeBar();

    SearchBar* bar_;
    QPointer<const QWidget> column_;
};
