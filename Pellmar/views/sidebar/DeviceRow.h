#pragma once

#include "Pellmar/index/Model.h"

#include <QWidget>

class ElidedLabel;
class Library;
class QLabel;
class QMenu;
class QToolButton;

// The sidebar row of a mounted drive or card: its symbol and name, and its used space, which
// turns into an eject button while the pointer is over the row. A click shows the device's files;
// the context menu offers "Index This Drive" and "Eject".
class DeviceRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 30;

    DeviceRow(Library& library, const Device& device, QWidget* parent = nullptr);

    const Device& device() const { return device_; }
    // The sidebar hands a changed device (a new size reading) to its row.
    void setDevice(const Device& device);

    QLabel& usedLabel() const { return *used_; }
    QToolButton& ejectButton() const { return *eject_; }
    bool isSelected() const { return selected_; }
    // Opens the context menu; the menu is returned for tests.
    QMenu* popupMenu(const QPoint& globalPosition);

Q_SIGNALS:
    void ejectRequested(const Device& device);
    void indexRequested(const Device& device);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void setHovering(bool hovering);

    Library& library_;
    Device device_;
    QLabel* symbol_;
    ElidedLabel* name_;
    QLabel* used_;
    QToolButton* eject_;
    bool selected_ = false;
};
