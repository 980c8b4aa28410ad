#pragma once

#include "Pellmar/views/kit/WorkspaceMembers.h"

#include <QAbstractButton>
#include <QObject>
#include <QWidget>

class QVBoxLayout;

// The member keys the workspace editor holds while it is open, changed one click at a time.
class MemberSet : public QObject {
    Q_OBJECT
public:
    MemberSet(QSet<QString> members, NodeLookup nodeForKey, QObject* parent = nullptr);

    const QSet<QString>& members() const { return members_; }
    void toggle(const FolderNode& node);

Q_SIGNALS:
    void changed();

private:
    QSet<QString> members_;
    NodeLookup nodeForKey_;
};

// One node of the editor's member tree: a disclosure triangle (on the first two levels, when the
// node has member children), a three-state check box with the node's name, and below, while
// open, a MemberRows for each member child. Every row starts closed.
class MemberRows : public QWidget {
    Q_OBJECT
public:
    MemberRows(const FolderNode& node, int depth, MemberSet& members, QWidget* parent = nullptr);

    const FolderNode& node() const { return node_; }
    MemberState state() const { return memberState(node_, members_.members()); }
    // The check box with the name; a click toggles the node.
    QAbstractButton& toggleButton() const { return *toggle_; }
    // Null where the row cannot open.
    QAbstractButton* disclosure() const { return disclosure_; }
    bool isOpen() const { return open_; }
    // The rows of the member children, once the row has been opened.
    QList<MemberRows*> childRows() const { return children_; }

private:
    void setOpen(bool open);
    void showState();

    FolderNode node_;
    int depth_;
    MemberSet& members_;
    QAbstractButton* disclosure_ = nullptr;
    QAbstractButton* toggle_;
    QWidget* childBox_ = nullptr;
    QList<MemberRows*> children_;
    bool open_ = false;
};
