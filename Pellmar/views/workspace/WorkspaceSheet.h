#pragma once

#include "Pellmar/index/Model.h"

#include <QDialog>

class Library;
class MemberSet;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;

// The editor of a workspace: its name, symbol and colour and, but for "everything", the sources,
// folders and albums it holds. It edits a copy of the workspace it was opened with; Save hands
// the copy to the Library once and closes at once, Cancel drops it.
class WorkspaceSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 420;

    WorkspaceSheet(Library& library, const Workspace& workspace, QWidget* parent = nullptr);

    // The copy being edited, with the members chosen so far.
    Workspace draft() const;

    QLabel& title() const { return *title_; }
    QLineEdit& nameField() const { return *name_; }
    QPushButton& saveButton() const { return *save_; }
    QPushButton& cancelButton() const { return *cancel_; }
    // The symbol's or the tint's button, or null.
    QAbstractButton* symbolButton(const QString& symbol) const;
    QAbstractButton* tintButton(const QString& tint) const;
    // The member section, absent for "everything".
    QWidget* memberSection() const { return memberSection_; }

private:
    QWidget* buildSymbols();
    QWidget* buildTints();
    QWidget* buildMembers();
    void showDraft();
    void save();

    Library& library_;
    Workspace draft_;
    MemberSet* members_ = nullptr;
    QLabel* title_;
    QLineEdit* name_;
    QPushButton* save_;
    QPushButton* cancel_;
    QWidget* memberSection_ = nullptr;
    QList<QAbstractButton*> symbolButtons_;
    QList<QAbstractButton*> tintButtons_;
};
