#pragma once

#include "Pellmar/views/sidebar/SidebarRules.h"

#include <QWidget>

class QToolButton;

// A section's title, with the add button while the pointer is over it when the section has one.
class SidebarSectionHeader : public QWidget {
    Q_OBJECT
public:
    explicit SidebarSectionHeader(QWidget* parent = nullptr);

    void setLook(const SidebarLook& look);
    QToolButton& addButton() const { return *add_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void addClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showAdd();

    SidebarLook look_;
    QToolButton* add_;
    bool hovering_ = false;
};

// The entries of the sidebar that are text and no row: the progress of a scan, the note of an
// empty section, the last verification, the line that opens the list of unreadable files and
// each of them, and the last error. Their text is plain and wraps where it may be long.
class SidebarBlock : public QWidget {
    Q_OBJECT
public:
    SidebarBlock(SidebarEntryKind kind, QWidget* parent = nullptr);

    SidebarEntryKind kind() const { return kind_; }
    void setLook(const SidebarLook& look);
    const SidebarLook& look() const { return look_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Line {
        QString text;
        QFont font;
        QColor color;
        int maxLines;   // 0 for no limit
    };
    QList<Line> lines() const;
    QMargins padding() const;

    SidebarEntryKind kind_;
    SidebarLook look_;
};
