#include "Pellmar/views/frame/AlertDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int messageWidth = 360;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFixedWidth(messageWidth);
    return label;
}

} // namespace

AlertDialog::AlertDialog(const QString& title, const QString& message, const QString& confirmText, Role role,
                         QWidget* parent)
    : QDialog(parent)
    , title_(plainLabel(title, this))
    , message_(plainLabel(message, this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);

    auto* buttons = new QDialogButtonBox(this);
    cancel_ = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    confirm_ = buttons->addButton(confirmText, role == Role::destructive ? QDialogButtonBox::DestructiveRole
                                                                         : QDialogButtonBox::AcceptRole);
    confirm_->setObjectName(QStringLiteral("confirm"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    if (role == Role::destructive) {
        // The keyboard starts on Cancel and Return means Cancel even when Tab has moved to the
        // confirming button: only a click or Space on it confirms.
        cancel_->setDefault(true);
        confirm_->setAutoDefault(false);
        cancel_->setFocus();
    } else {
        confirm_->setDefault(true);
    }
    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(8);
    layout->addWidget(title_);
    layout->addWidget(message_);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* AlertDialog::addField(const QString& label)
{
    field_ = new QLineEdit(this);
    field_->setAccessibleName(label);
    field_->setPlaceholderText(label);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(layout->indexOf(message_) + 1, field_);
    field_->setFocus();
    return field_;
}

QString AlertDialog::title() const
{
    return title_->text();
}

QString AlertDialog::message() const
{
    return message_->text();
}
