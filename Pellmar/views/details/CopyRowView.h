#pragma once

#include "Pellmar/index/Model.h"

#include <QWidget>

class Library;
class QLabel;
class QPushButton;

// One copy of an item in the item detail: a dot that is green while its drive is plugged in, the
// source's name, the place inside it, its size and status, and "Show in Files" for a file that
// can be reached.
class CopyRowView : public QWidget {
    Q_OBJECT
public:
    CopyRowView(Library& library, const Location& location, QWidget* parent = nullptr);

    const Location& location() const { return location_; }

private:
    Library& library_;
    Location location_;
};

// A filled circle of a fixed size: green when `on`, else the secondary text colour, faded.
class StatusDot : public QWidget {
    Q_OBJECT
public:
    StatusDot(int diameter, QWidget* parent = nullptr);
    void setOn(bool on);
    bool isOn() const { return on_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int diameter_;
    bool on_ = false;
};
