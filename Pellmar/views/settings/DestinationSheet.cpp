#include "Pellmar/views/settings/DestinationSheet.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/destination/DestinationBrowser.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize sheetSize(720, 480);

} // namespace

DestinationSheet::DestinationSheet(Library& library, std::optional<ImportTarget> choice, QWidget* parent)
    : QDialog(parent)
    , library_(library)
    , browser_(new DestinationBrowser(library, false, this))
    , use_(new QPushButton(tr("Use This Destination"), this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Import to"));
    auto* heading = new QLabel(tr("Import to"), this);
    QFont headline = heading->font();
    headline.setBold(true);
    heading->setFont(headline);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* framed = new QVBoxLayout(frame);
    framed->setContentsMargins(1, 1, 1, 1);
    framed->addWidget(browser_);
    connect(browser_, &DestinationBrowser::targetChanged, this, &DestinationSheet::setChoice);

    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    use_->setObjectName(QStringLiteral("use"));
    use_->setAutoDefault(false);
    connect(use_, &QPushButton::clicked, this, [this] {
        library_.setImportDefault(choice_);
        accept();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(use_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(heading);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    resize(sheetSize);

    setChoice(choice);
}

void DestinationSheet::setChoice(const std::optional<ImportTarget>& choice)
{
    choice_ = choice;
    use_->setEnabled(choice_.has_value());
    browser_->setTarget(choice_);
}
