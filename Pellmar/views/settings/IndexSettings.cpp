#include "Pellmar/views/settings/IndexSettings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/FileManager.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/kit/Formatters.h"
#include "Pellmar/views/kit/PlaceWords.h"
#include "Pellmar/views/settings/SettingsForm.h"

#include <QDir>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCoro::Task<> nothing()
{
    co_return;
}

// A Library operation that does nothing once the Library is gone.
IndexActions::Step libraryStep(Library& library, QCoro::Task<> (*operation)(Library&))
{
    return [library = QPointer<Library>(&library), operation] { return library ? operation(*library) : nothing(); };
}

// The size over its path in the caption font; the path can be selected and copied.
QLabel* addSizeRow(QFormLayout* form, const QString& label, const QString& path, QWidget* page)
{
    auto* size = new QLabel(page);
    size->setTextFormat(Qt::PlainText);
    QLabel* where = captionLabel(QDir::toNativeSeparators(path), page);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setWordWrap(true);
    auto* stack = new QVBoxLayout;
    stack->setSpacing(2);
    stack->addWidget(size);
    stack->addWidget(where);
    form->addRow(label, stack);
    return size;
}

} // namespace

IndexActions IndexActions::of(Library& library)
{
    IndexActions actions;
    actions.reveal = showInFileManager;
    actions.stopFullWorker = libraryStep(library, [](Library& l) { return l.workers().stopFullWorker(); });
    actions.stopWorker = libraryStep(library, [](Library& l) { return l.workers().stopWorker(); });
    actions.resetPreviews = libraryStep(library, [](Library& l) { return l.resetPreviews(); });
    actions.clearIndex = libraryStep(library, [](Library& l) { return l.clearIndex(); });
    return actions;
}

IndexSettings::IndexSettings(Library& library, IndexActions actions, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , actions_(std::move(actions))
{
    QFormLayout* form = settingsForm(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    indexSize_ = addSizeRow(form, tr("Index"), QDir(library.supportDirectory()).filePath(QStringLiteral("index.sqlite")), this);
    indexSize_->setObjectName(QStringLiteral("indexSize"));
    previewSize_ = addSizeRow(form, tr("Previews"), library.proxyDirectory(), this);
    previewSize_->setObjectName(QStringLiteral("previewSize"));
    showSizes(sizes_);

    auto* reveal = new QPushButton(QString::fromUtf16(showInFilesLabel), this);
    reveal->setObjectName(QStringLiteral("reveal"));
    connect(reveal, &QPushButton::clicked, this, [this] {
        if (actions_.reveal)
            actions_.reveal(library_.supportDirectory());
    });
    auto* clear = new QPushButton(tr("Clear Previews…"), this);
    clear->setObjectName(QStringLiteral("clearPreviews"));
    clear->setEnabled(bool(actions_.resetPreviews));
    connect(clear, &QPushButton::clicked, this, [this] {
        confirm(tr("Clear all previews?"),
                tr("Previews are made again from each drive the next time it is connected. Drives that are not "
                   "connected show no pictures until then."),
                tr("Clear Previews"), actions_.resetPreviews);
    });
    auto* rebuild = new QPushButton(tr("Rebuild Index…"), this);
    rebuild->setObjectName(QStringLiteral("rebuildIndex"));
    rebuild->setEnabled(bool(actions_.clearIndex));
    connect(rebuild, &QPushButton::clicked, this, [this] {
        confirm(tr("Rebuild the index?"),
                tr("Quorvin forgets every file and preview, keeps your sources, and rescans the ones connected "
                   "now. Drives that are not connected show nothing until they are rescanned."),
                tr("Rebuild Index"), actions_.clearIndex);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reveal);
    buttons->addWidget(clear);
    buttons->addWidget(rebuild);
    buttons->addStretch();
    form->addRow(buttons);
}

QCoro::Task<> IndexSettings::stopWorkersThen(IndexActions actions, IndexActions::Step reset)
{
    // Both are told to stop now; then both runs are waited for.
    QCoro::Task<> full = actions.stopFullWorker();
    QCoro::Task<> quick = actions.stopWorker();
    co_await std::move(full);
    co_await std::move(quick);
    // The end of a quick-index run may have started larger previews again.
    co_await actions.stopFullWorker();
    co_await reset();
}

void IndexSettings::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    measure();
}

void IndexSettings::measure()
{
    auto* watcher = new QFutureWatcher<StorageSizes>(this);
    connect(watcher, &QFutureWatcher<StorageSizes>::finished, this, [this, watcher] {
        showSizes(watcher->result());
        watcher->deleteLater();
    });
    const QString support = library_.supportDirectory();
    const QString proxies = library_.proxyDirectory();
    watcher->setFuture(library_.pools().run(Priority::userInitiated, [support, proxies] { return measureStorage(support, proxies); }));
}

void IndexSettings::showSizes(const StorageSizes& sizes)
{
    sizes_ = sizes;
    indexSize_->setText(byteCountText(sizes.index));
    previewSize_->setText(byteCountText(sizes.previews));
}

void IndexSettings::confirm(const QString& title, const QString& message, const QString& confirmText,
                            IndexActions::Step reset)
{
    if (confirmation_)
        return;
    confirmation_ = new AlertDialog(title, message, confirmText, AlertDialog::Role::destructive, window());
    confirmation_->setAttribute(Qt::WA_DeleteOnClose);
    connect(confirmation_, &QDialog::accepted, this, [this, reset] { Tasks::start(stopWorkersThen(actions_, reset)); });
    confirmation_->open();
}
