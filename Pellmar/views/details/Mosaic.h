#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class TaskPools;
class Thumbnail;

// Six square pictures in two rows of three, 2 points apart, with rounded outer corners: the
// location panel's recent items and the selection panel's first selected items. A cell without a
// file shows the placeholder.
class Mosaic : public QWidget {
    Q_OBJECT
public:
    static constexpr int cells = 6;

    Mosaic(TaskPools& pools, QWidget* parent = nullptr);

    // The files of the cells in order, row by row; cells beyond the list get none.
    void setPaths(const QList<std::optional<QString>>& paths);
    Thumbnail& cell(int index) const { return *cells_.at(index); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<Thumbnail*> cells_;
};
