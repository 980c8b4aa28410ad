#include "Pellmar/views/settings/DestinationSheet.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/kit/Icons.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize sheetSize(680, 460);

QString symbolOf(const ImportTarget& target)
{
    return std::holds_alternative<ImportTarget::Folder>(target.destination) ? QStringLiteral("folder")
                                                                             : QStringLiteral("photo.on.rectangle");
}

} // namespace

DestinationSheet::DestinationSheet(Library& library, std::optional<ImportTarget> choice, QWidget* parent)
    : QDialog(parent)
    , library_(library)
    , list_(new QListWidget(this))
    , use_(new QPushButton(tr("Use This Destination"), this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Import to"));
    auto* heading = new QLabel(tr("Import to"), this);
    QFont headline = heading->font();
    headline.setBold(true);
    heading->setFont(headline);

    list_->setObjectName(QStringLiteral("destinations"));
    list_->setUniformItemSizes(true);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < listed_.size())
            setChoice(listed_[row]);
    });
    auto* other = new QPushButton(tr("Choose Folder…"), this);
    other->setObjectName(QStringLiteral("chooseFolder"));
    connect(other, &QPushButton::clicked, this, &DestinationSheet::chooseFolder);

    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    use_->setObjectName(QStringLiteral("use"));
    use_->setDefault(true);
    connect(use_, &QPushButton::clicked, this, [this] {
        library_.setImportDefault(choice_);
        accept();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(other);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(use_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(heading);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(sheetSize);

    fillList();
    setChoice(choice);
}

void DestinationSheet::setChoice(const std::optional<ImportTarget>& choice)
{
    choice_ = choice;
    use_->setEnabled(choice_.has_value());
    if (!choice_)
        return;
    qsizetype row = listed_.indexOf(*choice_);
    if (row < 0) {
        row = 0;
        listed_.prepend(*choice_);
        list_->insertItem(0, new QListWidgetItem(Icons::icon(symbolOf(*choice_)), library_.destinationLabel(*choice_)));
    }
    const QSignalBlocker quiet(list_);
    list_->setCurrentRow(int(row));
}

// The recent destinations, then the folders that may receive an import, each once.
void DestinationSheet::fillList()
{
    const auto add = [this](const ImportTarget& target) {
        if (listed_.contains(target))
            return;
        listed_.append(target);
        new QListWidgetItem(Icons::icon(symbolOf(target)), library_.destinationLabel(target), list_);
    };
    for (const ImportTarget& target : library_.recentImportTargets())
        add(target);
    for (const Source& source : library_.importLocations())
        add(ImportTarget::folder(source.rootPath));
}

void DestinationSheet::chooseFolder()
{
    auto* chooser = new QFileDialog(this, tr("Choose a Folder"));
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    if (choice_)
        if (const auto* folder = std::get_if<ImportTarget::Folder>(&choice_->destination))
            chooser->setDirectory(folder->url);
    connect(chooser, &QFileDialog::fileSelected, this,
            [this](const QString& folder) { setChoice(ImportTarget::folder(QDir::cleanPath(folder))); });
    chooser->open();
}
