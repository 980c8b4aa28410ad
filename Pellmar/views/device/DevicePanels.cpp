#include "Pellmar/views/device/DevicePanels.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/device/CaptureDates.h"
#include "Pellmar/views/device/DevicePanelRules.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace cards;

namespace {

std::optional<Device> shownDevice(const Library& library)
{
    return RootView::selectedDevice(library.devices(), library.selectedDevice());
}

QGridLayout* factsGrid()
{
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    return grid;
}

// Label and value rows, the labels quieter.
void fillFacts(QGridLayout& grid, const QList<Fact>& facts, QWidget* parent)
{
    clearLayout(grid);
    for (int row = 0; row < facts.size(); ++row) {
        QLabel* label = panelLabel(TextStyle::callout, true, parent);
        label->setText(facts[row].label);
        QLabel* value = panelLabel(TextStyle::callout, false, parent);
        value->setText(facts[row].value);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid.addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
        grid.addWidget(value, row, 1);
    }
}

QStringList lines(const QGridLayout& grid)
{
    QStringList lines;
    for (int row = 0; row < grid.rowCount(); ++row) {
        const auto text = [&](int column) {
            QLayoutItem* cell = grid.itemAtPosition(row, column);
            const auto* label = cell ? qobject_cast<QLabel*>(cell->widget()) : nullptr;
            return label ? label->text() : QString();
        };
        if (!text(0).isEmpty())
            lines.append(text(0) + QStringLiteral(": ") + text(1));
    }
    return lines;
}

QPushButton* makeImportButton(QWidget* parent)
{
    auto* button = new QPushButton(QObject::tr("Import…"), parent);
    button->setObjectName(QStringLiteral("import"));
    button->setDefault(true);   // the prominent button of the panel
    return button;
}

// Opens the import sheet for the card: the files of `subset`, or the whole card when it is empty.
// The subset is in place before the device makes the sheet appear.
void openImport(Library& library, const Device& device, const QSet<QString>& subset)
{
    library.setImportSubset(subset);
    library.setImportDevice(device);
}

} // namespace

DevicePanel::DevicePanel(Library& library, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , name_(panelLabel(TextStyle::headline, false, &content()))
    , usage_(panelLabel(TextStyle::caption, true, &content()))
    , looking_(new QWidget(&content()))
    , factsBox_(new QWidget(&content()))
    , facts_(factsGrid())
    , import_(makeImportButton(&content()))
    , index_(new QPushButton(tr("Index"), &content()))
    , eject_(new QPushButton(tr("Eject"), &content()))
{
    setObjectName(QStringLiteral("devicePanel"));
    auto* icon = new QLabel(&content());
    icon->setPixmap(Icons::pixmap(QStringLiteral("externaldrive"), 32, palette().color(QPalette::WindowText),
                                  devicePixelRatioF()));
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(icon);
    header->addWidget(name_, 1);
    column().addLayout(header);
    column().addWidget(usage_);
    column().addWidget(panelDivider(&content()));

    auto* busy = new QHBoxLayout(looking_);
    busy->setContentsMargins(0, 0, 0, 0);
    busy->setSpacing(6);
    auto* spinner = new QProgressBar(looking_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(32, 8);
    QLabel* lookingText = panelLabel(TextStyle::callout, true, looking_);
    lookingText->setText(tr("Looking for photos and videos"));
    busy->addWidget(spinner);
    busy->addWidget(lookingText, 1);
    factsBox_->setLayout(facts_);
    column().addWidget(looking_);
    column().addWidget(factsBox_);

    index_->setObjectName(QStringLiteral("index"));
    eject_->setObjectName(QStringLiteral("eject"));
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->addWidget(import_);
    actions->addWidget(index_);
    actions->addWidget(eject_);
    actions->addStretch(1);
    column().addLayout(actions);

    // Each acts on the device shown when the button was clicked.
    connect(import_, &QPushButton::clicked, this, [this] {
        if (device_)
            openImport(library_, *device_, {});
    });
    connect(index_, &QPushButton::clicked, this, [this] {
        if (device_)
            Tasks::start(library_.indexFolder(device_->url, std::nullopt));
    });
    connect(eject_, &QPushButton::clicked, this, [this] {
        if (device_)
            Tasks::start(library_.ejectDevice(*device_));
    });
}

void DevicePanel::refresh()
{
    device_ = shownDevice(library_);
    if (!device_)
        return;
    name_->setText(device_->name);
    usage_->setText(usageText(*device_));
    const QHash<QString, QList<CardFile>>& listings = library_.deviceFiles();
    std::optional<QList<CardFile>> listing;
    if (const auto found = listings.constFind(device_->id()); found != listings.constEnd())
        listing = *found;
    const DeviceFacts facts = deviceFacts(listing);
    looking_->setVisible(!facts.listed);
    factsBox_->setVisible(facts.listed);
    fillFacts(*facts_, facts.facts, factsBox_);
    import_->setEnabled(facts.canImport);
}

QStringList DevicePanel::factLines() const
{
    return factsBox_->isVisibleTo(this) ? lines(*facts_) : QStringList();
}

CardFilePanel::CardFilePanel(Library& library, QWidget* parent)
    : CardFilePanel(library, CaptureDates::onPools(library.pools(), nullptr), parent)
{
}

CardFilePanel::CardFilePanel(Library& library, CaptureDates* dates, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , dates_(dates)
    , name_(panelLabel(TextStyle::headline, false, &content()))
    , deviceLine_(panelLabel(TextStyle::caption, true, &content()))
    , facts_(factsGrid())
    , import_(makeImportButton(&content()))
{
    setObjectName(QStringLiteral("cardFilePanel"));
    dates_->setParent(this);
    name_->setWordWrap(true);
    name_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column().addWidget(name_);
    column().addWidget(deviceLine_);
    column().addWidget(panelDivider(&content()));
    column().addLayout(facts_);
    column().addWidget(import_, 0, Qt::AlignLeft);
    // The whole card, never only this file.
    connect(import_, &QPushButton::clicked, this, [this] {
        if (device_)
            openImport(library_, *device_, {});
    });
    connect(dates_, &CaptureDates::capturedChanged, this, &CardFilePanel::showFacts);
}

void CardFilePanel::refresh()
{
    device_ = shownDevice(library_);
    file_ = library_.selectedCardFile();
    if (!device_ || !file_)
        return;
    name_->setText(QFileInfo(file_->url).fileName());
    deviceLine_->setText(tr("On ") + device_->name);
    dates_->show(*file_);
    showFacts();
}

void CardFilePanel::showFacts()
{
    if (file_)
        fillFacts(*facts_, cardFileFacts(*file_, dates_->captured()), &content());
}

QStringList CardFilePanel::factLines() const
{
    return lines(*facts_);
}

CardGroupPanel::CardGroupPanel(Library& library, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , heading_(panelLabel(TextStyle::headline, false, &content()))
    , summary_(panelLabel(TextStyle::callout, true, &content()))
    , import_(makeImportButton(&content()))
{
    setObjectName(QStringLiteral("cardGroupPanel"));
    summary_->setWordWrap(true);
    column().addWidget(heading_);
    column().addWidget(summary_);
    column().addWidget(import_, 0, Qt::AlignLeft);
    // Exactly the ticked files, also those the listing no longer holds.
    connect(import_, &QPushButton::clicked, this, [this] {
        if (device_)
            openImport(library_, *device_, library_.selectedCards());
    });
}

void CardGroupPanel::refresh()
{
    device_ = shownDevice(library_);
    if (!device_)
        return;
    const GroupSummary summary =
        groupSummary(library_.deviceFiles().value(device_->id()), library_.selectedCards(), device_->name);
    heading_->setText(summary.heading);
    summary_->setText(summary.line);
}
