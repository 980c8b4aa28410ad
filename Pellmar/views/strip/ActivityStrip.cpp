#include "Pellmar/views/strip/ActivityStrip.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/FileManager.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/kit/MenuText.h"
#include "Pellmar/views/kit/PlaceWords.h"
#include "Pellmar/views/strip/ActivityBlocks.h"
#include "Pellmar/views/strip/StripBlock.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using Text = StripBlock::Text;

struct ActivityStrip::Parts {
    StripBlock* relink;
    QLabel* relinkNote;

    StripBlock* watch;
    QLabel* watchNote;

    StripBlock* importProgress;
    ElidedLabel* importTitle;
    QLabel* importCounts;
    QProgressBar* importBar;
    QLabel* importTransfer;
    ElidedLabel* importCurrent;
    QPushButton* importStop;

    StripBlock* importResult;
    QLabel* resultSentence;
    QPushButton* resultShow;
    QPushButton* resultEject;
    QToolButton* resultClose;

    StripBlock* scan;
    ElidedLabel* scanTitle;
    QLabel* scanFound;

    StripBlock* indexing;
    ElidedLabel* indexingTitle;
    QLabel* indexingCounts;
    QProgressBar* indexingBar;
    QPushButton* indexingStop;
    ElidedLabel* indexingWorkingOn;

    StripBlock* waiting;
    QLabel* waitingText;
    QPushButton* waitingResume;

    StripBlock* preview;
    ElidedLabel* previewTitle;
    QLabel* previewCounts;
    QProgressBar* previewBar;
    QLabel* previewDetail;
    QPushButton* previewButton;
    ElidedLabel* previewWorkingOn;
};

namespace {

// A title, a stretch and the counts: the first row of the blocks with progress.
void titleRow(StripBlock* block, QWidget* title, QLabel* counts)
{
    QHBoxLayout* row = block->addRow();
    row->addWidget(title, 1);
    row->addWidget(counts);
}

ElidedLabel* elidedLabel(const QString& name, Text text, QWidget* parent)
{
    auto* label = new ElidedLabel(parent);
    StripBlock::style(label, name, text);
    return label;
}

void setBar(QProgressBar* bar, const ProgressValue& progress)
{
    bar->setRange(0, progress.maximum);
    bar->setValue(progress.value);
}

} // namespace

ActivityStrip::ActivityStrip(Library& library, QWidget* parent)
    : QWidget(parent), library_(library), parts_(std::make_unique<Parts>())
{
    setObjectName(QStringLiteral("activityStrip"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    build();
    connectButtons();

    using P = Library::Prop;
    refresh_ = new CoalescedRefresh(
        library_,
        {P::relinkNote, P::importJob, P::importResult, P::devices, P::scanning, P::scanFound, P::processing,
         P::status, P::sources, P::sourceProgress, P::inFlight, P::rate, P::fullProcessing, P::fullWaiting,
         P::fullStatus, P::online, P::fullInFlight, P::fullRate, P::unwatchedSources},
        [this](const QSet<Library::Prop>&) { showBlocks(activityBlocks(ActivityInputs::of(library_))); }, this);
    connect(&library_.idle(), &IdleMonitor::changed, refresh_, [this](IdleMonitor::Prop property) {
        if (property == IdleMonitor::Prop::onBattery || property == IdleMonitor::Prop::isHot)
            refresh_->requestAll();
    });
    showBlocks(activityBlocks(ActivityInputs::of(library_)));
}

ActivityStrip::~ActivityStrip() = default;

void ActivityStrip::build()
{
    Parts& p = *parts_;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    p.relink = new StripBlock(QStringLiteral("relinkBlock"), false, this);
    auto* relinkSymbol = new QLabel(p.relink);
    relinkSymbol->setPixmap(Icons::pixmap(QStringLiteral("externaldrive.badge.checkmark"), 16,
                                          secondaryTextColor(palette()), devicePixelRatioF()));
    p.relinkNote = StripBlock::label(QStringLiteral("relinkNote"), Text::body, p.relink);
    p.relink->content().addWidget(relinkSymbol);
    p.relink->content().addWidget(p.relinkNote, 1);

    p.watch = new StripBlock(QStringLiteral("watchBlock"), false, this);
    auto* watchSymbol = new QLabel(p.watch);
    watchSymbol->setPixmap(Icons::pixmap(QStringLiteral("exclamationmark.circle.fill"), 16,
                                         secondaryTextColor(palette()), devicePixelRatioF()));
    p.watchNote = StripBlock::label(QStringLiteral("watchNote"), Text::body, p.watch);
    p.watchNote->setWordWrap(true);
    p.watch->content().addWidget(watchSymbol, 0, Qt::AlignTop);
    p.watch->content().addWidget(p.watchNote, 1);

    p.importProgress = new StripBlock(QStringLiteral("importProgressBlock"), true, this);
    p.importTitle = elidedLabel(QStringLiteral("importTitle"), Text::title, p.importProgress);
    p.importCounts = StripBlock::label(QStringLiteral("importCounts"), Text::counts, p.importProgress);
    titleRow(p.importProgress, p.importTitle, p.importCounts);
    p.importBar = StripBlock::bar(QStringLiteral("importBar"), p.importProgress);
    p.importProgress->content().addWidget(p.importBar);
    p.importTransfer = StripBlock::label(QStringLiteral("importTransfer"), Text::caption, p.importProgress);
    p.importCurrent = elidedLabel(QStringLiteral("importCurrent"), Text::caption, p.importProgress);
    p.importStop = StripBlock::button(QStringLiteral("stopImport"), QStringLiteral("Stop"), p.importProgress);
    QHBoxLayout* importRow = p.importProgress->addRow();
    importRow->addWidget(p.importTransfer);
    importRow->addWidget(p.importCurrent, 1);
    importRow->addWidget(p.importStop);

    p.importResult = new StripBlock(QStringLiteral("importResultBlock"), false, this);
    p.resultSentence = StripBlock::label(QStringLiteral("importSentence"), Text::body, p.importResult);
    p.resultSentence->setWordWrap(true);
    p.resultShow = StripBlock::button(QStringLiteral("showImport"), QString(), p.importResult);
    p.resultEject = StripBlock::button(QStringLiteral("ejectCard"), QString(), p.importResult);
    p.resultClose = new QToolButton(p.importResult);
    p.resultClose->setObjectName(QStringLiteral("closeImportResult"));
    p.resultClose->setAutoRaise(true);
    p.resultClose->setIcon(Icons::icon(QStringLiteral("xmark")));
    p.resultClose->setAccessibleName(QStringLiteral("Close"));
    for (QWidget* part : {static_cast<QWidget*>(p.resultSentence), static_cast<QWidget*>(p.resultShow),
                          static_cast<QWidget*>(p.resultEject), static_cast<QWidget*>(p.resultClose)})
        p.importResult->content().addWidget(part, part == p.resultSentence ? 1 : 0);

    p.scan = new StripBlock(QStringLiteral("scanBlock"), true, this);
    auto* busy = StripBlock::bar(QStringLiteral("scanBusy"), p.scan);
    busy->setRange(0, 0);
    busy->setFixedWidth(48);
    p.scanTitle = elidedLabel(QStringLiteral("scanTitle"), Text::title, p.scan);
    p.scanFound = StripBlock::label(QStringLiteral("scanFound"), Text::counts, p.scan);
    QHBoxLayout* scanRow = p.scan->addRow();
    scanRow->addWidget(busy);
    scanRow->addWidget(p.scanTitle, 1);
    scanRow->addWidget(p.scanFound);
    auto* scanNote = StripBlock::label(QStringLiteral("scanNote"), Text::caption, p.scan);
    scanNote->setText(QStringLiteral("Reading folder names and sizes only. Nothing is opened or copied."));
    p.scan->content().addWidget(scanNote);

    p.indexing = new StripBlock(QStringLiteral("indexingBlock"), true, this);
    p.indexingTitle = elidedLabel(QStringLiteral("indexingTitle"), Text::title, p.indexing);
    p.indexingCounts = StripBlock::label(QStringLiteral("indexingCounts"), Text::counts, p.indexing);
    titleRow(p.indexing, p.indexingTitle, p.indexingCounts);
    p.indexingBar = StripBlock::bar(QStringLiteral("indexingBar"), p.indexing);
    p.indexing->content().addWidget(p.indexingBar);
    auto* indexingNote = StripBlock::label(QStringLiteral("indexingNote"), Text::caption, p.indexing);
    indexingNote->setText(QStringLiteral("Reading names, dates and small thumbnails so you can search right away."));
    p.indexingStop = StripBlock::button(QStringLiteral("stopIndexing"), QStringLiteral("Stop"), p.indexing);
    QHBoxLayout* indexingRow = p.indexing->addRow();
    indexingRow->addWidget(indexingNote, 1);
    indexingRow->addWidget(p.indexingStop);
    p.indexingWorkingOn = elidedLabel(QStringLiteral("indexingWorkingOn"), Text::caption, p.indexing);
    p.indexing->content().addWidget(p.indexingWorkingOn);

    p.waiting = new StripBlock(QStringLiteral("waitingBlock"), false, this);
    p.waitingText = StripBlock::label(QStringLiteral("waitingText"), Text::body, p.waiting);
    p.waitingResume = StripBlock::button(QStringLiteral("resumeIndexing"), QStringLiteral("Resume"), p.waiting);
    p.waiting->content().addWidget(p.waitingText, 1);
    p.waiting->content().addWidget(p.waitingResume);

    p.preview = new StripBlock(QStringLiteral("previewBlock"), true, this);
    p.previewTitle = elidedLabel(QStringLiteral("previewTitle"), Text::title, p.preview);
    p.previewCounts = StripBlock::label(QStringLiteral("previewCounts"), Text::counts, p.preview);
    titleRow(p.preview, p.previewTitle, p.previewCounts);
    p.previewBar = StripBlock::bar(QStringLiteral("previewBar"), p.preview);
    p.preview->content().addWidget(p.previewBar);
    p.previewDetail = StripBlock::label(QStringLiteral("previewDetail"), Text::caption, p.preview);
    p.previewDetail->setWordWrap(true);
    p.previewButton = StripBlock::button(QStringLiteral("previewButton"), QString(), p.preview);
    QHBoxLayout* previewRow = p.preview->addRow();
    previewRow->addWidget(p.previewDetail, 1);
    previewRow->addWidget(p.previewButton);
    p.previewWorkingOn = elidedLabel(QStringLiteral("previewWorkingOn"), Text::caption, p.preview);
    p.preview->content().addWidget(p.previewWorkingOn);

    for (StripBlock* block : {p.relink, p.watch, p.importProgress, p.importResult, p.scan, p.indexing, p.waiting, p.preview})
        layout->addWidget(block);
}

void ActivityStrip::connectButtons()
{
    Parts& p = *parts_;
    connect(p.importStop, &QPushButton::clicked, this, [this] {
        if (library_.importTask)
            library_.importTask->cancel();
    });
    connect(p.resultShow, &QPushButton::clicked, this, [this] {
        const std::optional<ImportResult>& result = library_.importResult();
        if (!result)
            return;
        if (result->folder)
            showInFileManager(*result->folder);
        else
            QDesktopServices::openUrl(QUrl::fromLocalFile(defaultPhotosLibraryPath()));
    });
    connect(p.resultEject, &QPushButton::clicked, this, [this] {
        if (const std::optional<ImportResult>& result = library_.importResult())
            Q_EMIT ejectRequested(result->device);
    });
    connect(p.resultClose, &QToolButton::clicked, this, [this] { library_.setImportResult(std::nullopt); });
    connect(p.indexingStop, &QPushButton::clicked, this, [this] { Tasks::start(library_.workers().stopWorker()); });
    connect(p.waitingResume, &QPushButton::clicked, this, [this] { library_.workers().startWorker(); });
    connect(p.previewButton, &QPushButton::clicked, this, [this] {
        // The button's meaning is the one shown, read again at the click.
        if (library_.fullProcessing() && !library_.fullWaiting())
            library_.workers().pauseFullPreviews();
        else
            library_.workers().startFullWorker(true);
    });
}

void ActivityStrip::showBlocks(const ActivityBlocks& blocks)
{
    Parts& p = *parts_;
    p.relink->setVisible(blocks.relinkNote.has_value());
    p.relinkNote->setText(blocks.relinkNote.value_or(QString()));
    p.watch->setVisible(blocks.watchNote.has_value());
    p.watchNote->setText(blocks.watchNote.value_or(QString()));

    p.importProgress->setVisible(blocks.importProgress.has_value());
    if (const auto& job = blocks.importProgress) {
        p.importTitle->setFullText(job->title);
        p.importCounts->setText(job->counts);
        setBar(p.importBar, job->progress);
        p.importTransfer->setText(job->transfer);
        p.importCurrent->setFullText(job->current);
    }

    p.importResult->setVisible(blocks.importResult.has_value());
    if (const auto& result = blocks.importResult) {
        p.resultSentence->setText(result->sentence);
        p.resultShow->setText(QString::fromUtf16(result->intoPhotoLibrary ? openPhotoLibraryLabel : showInFilesLabel));
        p.resultEject->setVisible(result->ejectLabel.has_value());
        p.resultEject->setText(menuText(result->ejectLabel.value_or(QString())));
    }

    const auto* scan = std::get_if<ScanBlock>(&blocks.activity);
    p.scan->setVisible(scan);
    if (scan) {
        p.scanTitle->setFullText(scan->title);
        p.scanFound->setText(scan->found);
    }
    const auto* indexing = std::get_if<IndexingBlock>(&blocks.activity);
    p.indexing->setVisible(indexing);
    if (indexing) {
        p.indexingTitle->setFullText(indexing->title);
        p.indexingCounts->setText(indexing->counts);
        setBar(p.indexingBar, indexing->progress);
        p.indexingWorkingOn->setFullText(indexing->workingOn);
        p.indexingWorkingOn->setVisible(!indexing->workingOn.isEmpty());
    }
    const auto* waiting = std::get_if<WaitingRow>(&blocks.activity);
    p.waiting->setVisible(waiting);
    if (waiting)
        p.waitingText->setText(waiting->text);
    const auto* preview = std::get_if<PreviewBlock>(&blocks.activity);
    p.preview->setVisible(preview);
    if (preview) {
        p.previewTitle->setFullText(preview->title);
        p.previewCounts->setText(preview->counts);
        setBar(p.previewBar, preview->progress);
        p.previewDetail->setText(preview->detail);
        p.previewButton->setText(preview->working ? QStringLiteral("Pause") : QStringLiteral("Resume"));
        p.previewWorkingOn->setFullText(preview->workingOn);
        p.previewWorkingOn->setVisible(!preview->workingOn.isEmpty());
    }
}
