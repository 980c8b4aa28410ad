#include "Pellmar/views/device/ImportSheet.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/destination/DestinationBrowser.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr QSize sheetSize(720, 520);
const QString skipKey = QStringLiteral("importSkipDuplicates");

QLabel* secondaryLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor(palette));
    label->setPalette(palette);
    return label;
}

// Runs `then` on the sheet, if it is still open, once the Library has answered.
template <typename T>
QCoro::Task<> whenAnswered(QPointer<ImportSheet> sheet, QCoro::Task<T> answer, std::function<void(ImportSheet&, T)> then)
{
    T value = co_await std::move(answer);
    if (sheet)
        then(*sheet, std::move(value));
}

} // namespace

ImportSheet::ImportSheet(Library& library, Device device, QWidget* parent)
    : QDialog(parent)
    , library_(library)
    , device_(std::move(device))
    , subtitle_(secondaryLabel(this))
    , browser_(new DestinationBrowser(library, true, this))
    , skip_(new QCheckBox(tr("Skip duplicates already in Quorvin"), this))
    , delete_(new QCheckBox(tr("Delete from card after importing"), this))
    , planLine_(secondaryLabel(this))
    , import_(new QPushButton(tr("Import"), this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Import from ") + device_.name);
    setFixedSize(sheetSize);

    auto* title = new QLabel(tr("Import from ") + device_.name, this);
    title->setTextFormat(Qt::PlainText);
    QFont headline = title->font();
    headline.setBold(true);
    title->setFont(headline);
    auto* header = new QVBoxLayout;
    header->setSpacing(2);
    header->addWidget(title);
    header->addWidget(subtitle_);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* framed = new QVBoxLayout(frame);
    framed->setContentsMargins(1, 1, 1, 1);
    framed->addWidget(browser_);
    connect(browser_, &DestinationBrowser::targetChanged, this, &ImportSheet::setTarget);
    // Return in the chooser's search field only searches: it never reaches the default button.
    browser_->searchField().installEventFilter(this);

    skip_->setObjectName(QStringLiteral("skipKnown"));
    skip_->setChecked(library_.defaults().boolean(skipKey));
    connect(skip_, &QCheckBox::toggled, this, [this](bool on) {
        library_.defaults().set(skipKey, on);
        refresh();
    });
    delete_->setObjectName(QStringLiteral("deleteAfter"));
    connect(delete_, &QCheckBox::toggled, this, &ImportSheet::deleteToggled);

    planLine_->setObjectName(QStringLiteral("plan"));
    planLine_->setWordWrap(true);
    planLine_->setMaximumHeight(planLine_->fontMetrics().lineSpacing() * 2);

    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    import_->setObjectName(QStringLiteral("import"));
    import_->setDefault(true);
    connect(import_, &QPushButton::clicked, this, &ImportSheet::runImport);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(import_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addLayout(header);
    layout->addWidget(frame, 1);
    layout->addWidget(skip_);
    layout->addWidget(delete_);
    layout->addWidget(planLine_);
    layout->addLayout(buttons);

    using P = Library::Prop;
    refresh_ = new CoalescedRefresh(library_, {P::deviceFiles, P::importSubset, P::importJob, P::sources},
                                    [this](const QSet<P>&) { refresh(); }, this);
    refresh();
}

ImportSheet::~ImportSheet() = default;

void ImportSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (targetAsked_ || target_)
        return;
    targetAsked_ = true;
    Tasks::start(whenAnswered<ImportTarget>(this, library_.defaultImportTarget(), [](ImportSheet& sheet, ImportTarget target) {
        if (!sheet.target_) {
            sheet.browser_->setTarget(target);
            sheet.setTarget(target);
        }
    }));
}

bool ImportSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &browser_->searchField() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ImportSheet::setTarget(const std::optional<ImportTarget>& target)
{
    target_ = target;
    refresh();
}

void ImportSheet::refresh()
{
    ImportPlanInput in;
    const QHash<QString, QList<CardFile>>& listings = library_.deviceFiles();
    if (const auto listing = listings.constFind(device_.id()); listing != listings.constEnd())
        in.listing = *listing;
    in.subset = library_.importSubset();
    in.target = target_;
    if (target_ && std::holds_alternative<ImportTarget::Folder>(target_->destination))
        in.folderLabel = library_.destinationLabel(*target_);
    in.skipKnown = skip_->isChecked();
    in.known = known_;
    in.checking = checking_;
    in.deleteAfter = deleteAfter_;
    in.importRunning = library_.importJob().has_value();
    plan_ = derivePlan(in);

    subtitle_->setText(plan_.subtitle);
    planLine_->setText(plan_.planLine);
    import_->setEnabled(plan_.canImport);
    checkKnownFiles();
}

void ImportSheet::checkKnownFiles()
{
    // Files skipped while the originals are deleted must be copies in full, not only by their quick hash.
    const bool settled = known_ && (knownCompared_ || !deleteAfter_);
    if (!skip_->isChecked() || settled || checking_ || !plan_.listed)
        return;
    known_.reset();
    checking_ = true;
    const QList<CardFile> listing = library_.deviceFiles().value(device_.id());
    const bool compared = deleteAfter_;
    Tasks::start(whenAnswered<QSet<QString>>(this, library_.knownCardFiles(listing, compared),
                                             [compared](ImportSheet& sheet, QSet<QString> known) {
        sheet.known_ = std::move(known);
        sheet.knownCompared_ = compared;
        sheet.checking_ = false;
        sheet.refresh();
    }));
    refresh();
}

void ImportSheet::deleteToggled(bool on)
{
    if (!on || deleteConfirmed_) {
        deleteAfter_ = on;
        refresh();
        return;
    }
    {
        const QSignalBlocker quiet(delete_);
        delete_->setChecked(false);
    }
    if (confirmation_)
        return;
    confirmation_ = new AlertDialog(
        tr("Delete from the card after importing?"),
        tr("Each original is removed from ") + device_.name +
            tr(" only after its copy is checked. Skipped duplicates stay on the card, and stopping the import deletes "
               "nothing further."),
        tr("Delete After Import"), AlertDialog::Role::destructive, this);
    confirmation_->setAttribute(Qt::WA_DeleteOnClose);
    connect(confirmation_, &QDialog::accepted, this, [this] {
        deleteConfirmed_ = true;
        deleteAfter_ = true;
        const QSignalBlocker quiet(delete_);
        delete_->setChecked(true);
        refresh();
    });
    confirmation_->open();
}

void ImportSheet::runImport()
{
    if (!target_ || !plan_.canImport)
        return;
    const QList<CardFile> files = plan_.toCopy;
    if (const auto* folder = std::get_if<ImportTarget::Folder>(&target_->destination))
        library_.startImport(files, device_, folder->url, deleteAfter_);
    else if (const auto* album = std::get_if<PhotosAlbum>(&target_->destination))
        library_.startPhotosImport(files, device_, *album, std::nullopt, deleteAfter_);
    else
        library_.startPhotosImport(files, device_, std::nullopt, std::get<ImportTarget::NewAlbum>(target_->destination).name,
                                   deleteAfter_);
    accept();
}
