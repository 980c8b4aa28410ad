#include "Pellmar/views/settings/GeneralSettings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/settings/DestinationSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

QList<SettingOption> GeneralSettings::openOptions()
{
    return {{tr("In Quorvin"), true}, {tr("With the default app"), false}};
}

GeneralSettings::GeneralSettings(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , importLabel_(new ElidedLabel(this, Qt::ElideLeft))
{
    QFormLayout* form = settingsForm(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    importLabel_->setObjectName(QStringLiteral("importLabel"));
    auto* choose = new QPushButton(tr("Choose…"), this);
    choose->setObjectName(QStringLiteral("choose"));
    connect(choose, &QPushButton::clicked, this, &GeneralSettings::choose);
    auto* reset = new QPushButton(tr("Reset to Downloads"), this);
    reset->setObjectName(QStringLiteral("resetToDownloads"));
    connect(reset, &QPushButton::clicked, this, [this] { library_.setImportDefault(std::nullopt); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(choose);
    buttons->addWidget(reset);
    buttons->addStretch();
    auto* importTo = new QVBoxLayout;
    importTo->setSpacing(6);
    importTo->addWidget(importLabel_);
    importTo->addLayout(buttons);
    form->addRow(tr("Import to"), importTo);

    Defaults& defaults = library.defaults();
    QComboBox* open = boundPicker(defaults, QStringLiteral("openInQuorvin"), openOptions(), this);
    open->setObjectName(QStringLiteral("openInQuorvin"));
    form->addRow(tr("Open photos and videos"), open);
    QCheckBox* confirm = boundToggle(defaults, QStringLiteral("confirmTrash"), tr("Confirm before Move to Trash"), this);
    confirm->setObjectName(QStringLiteral("confirmTrash"));
    form->addRow(QString(), confirm);

    // The label follows the stored default, and the sources and drives that decide how it reads.
    using P = Library::Prop;
    const auto showDefault = [this](const auto&) { Tasks::start(withDefault(this, [](GeneralSettings& page, const ImportTarget& target) {
        page.importLabel_->setFullText(page.library_.destinationLabel(target));
    })); };
    showDefault(QSet<P>());
    new CoalescedRefresh(library_, {P::importDefault, P::sources, P::devices}, showDefault, this);
}

QCoro::Task<> GeneralSettings::withDefault(QPointer<GeneralSettings> page, std::function<void(GeneralSettings&, const ImportTarget&)> then)
{
    const ImportTarget target = co_await page->library_.defaultImportTarget();
    if (page)
        then(*page, target);
}

void GeneralSettings::choose()
{
    if (sheet_ || choosing_)
        return;
    choosing_ = true;
    Tasks::start(withDefault(this, [](GeneralSettings& page, const ImportTarget& target) {
        page.choosing_ = false;
        page.sheet_ = new DestinationSheet(page.library_, target, page.window());
        page.sheet_->setAttribute(Qt::WA_DeleteOnClose);
        page.sheet_->open();
    }));
}
