#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// A window-modal question: a bold title over a message, both plain text, an optional text field,
// and two buttons: the confirming one and "Cancel". Escape and Cancel reject; the confirming
// button accepts. A destructive question starts the keyboard on Cancel, and there Return and
// Escape both cancel: only a click or Space on the confirming button confirms.
class AlertDialog : public QDialog {
    Q_OBJECT
public:
    enum class Role { normal, destructive };

    AlertDialog(const QString& title, const QString& message, const QString& confirmText, Role role, QWidget* parent);

    // Adds the text field above the buttons, labelled `label` for assistive tools.
    QLineEdit* addField(const QString& label);
    QLineEdit* field() const { return field_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }
    QString title() const;
    QString message() const;

private:
    QLabel* title_;
    QLabel* message_;
    QLineEdit* field_ = nullptr;
    QPushButton* confirm_;
    QPushButton* cancel_;
};
