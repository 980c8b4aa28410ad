#include "Pellmar/views/settings/SidebarSettings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/MenuText.h"
#include "Pellmar/views/kit/WorkspaceColor.h"
#include "Pellmar/views/settings/SettingsForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int pageInset = 20;
constexpr int tallestPage = 560;
constexpr int symbolWidth = 20;

QLabel* sectionHeader(const QString& title, QWidget* parent)
{
    auto* header = new QLabel(title, parent);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    return header;
}

QToolButton* iconButton(const QString& symbol, const QString& help, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(Icons::icon(symbol));
    button->setAutoRaise(true);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setObjectName(name);
    return button;
}

// Empties a section's box; its widgets go at the next turn of the event loop, as one of them may
// be the button whose click led here.
QVBoxLayout* clearedBox(QWidget* section)
{
    auto* box = static_cast<QVBoxLayout*>(section->layout());
    while (QLayoutItem* item = box->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    return box;
}

QWidget* section(QVBoxLayout* page, const QString& title, QWidget* parent)
{
    page->addWidget(sectionHeader(title, parent));
    auto* holder = new QWidget(parent);
    auto* box = new QVBoxLayout(holder);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    page->addWidget(holder);
    page->addSpacing(12);
    return holder;
}

} // namespace

SidebarSettings::SidebarSettings(Library& library, WorkspaceSheetFactory workspaceSheet, QWidget* parent)
    : QScrollArea(parent)
    , library_(library)
    , workspaceSheet_(std::move(workspaceSheet))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(this);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(pageInset, pageInset, pageInset, pageInset);
    page->setSpacing(6);
    workspaces_ = section(page, tr("Workspaces"), content);
    sources_ = section(page, tr("Show"), content);
    pins_ = section(page, tr("Pinned"), content);
    smartGroups_ = section(page, tr("Photos groups"), content);
    page->addStretch();
    setWidget(content);

    using P = Library::Prop;
    new CoalescedRefresh(
        library_, {P::workspaces, P::sources, P::hiddenSources, P::hiddenSmart, P::pinned, P::trees},
        [this](const auto&) { this->refresh(); }, this);
    this->refresh();
}

QSize SidebarSettings::sizeHint() const
{
    const QSize content = widget()->sizeHint();
    return {content.width(), std::min(content.height(), tallestPage)};
}

void SidebarSettings::refresh()
{
    const QList<WorkspaceRow> workspaces = workspaceRows(library_.workspaces());
    if (!filled_ || workspaces != workspaceRows_)
        showWorkspaces(workspaces);

    QList<PinRow> pins;
    const QStringList pinned = library_.pinned();
    for (qsizetype i = 0; i < pinned.size(); ++i)
        pins.append({pinned[i], pinLabel(pinned[i], library_.nodeForKey(pinned[i]), library_.sources()), i > 0});
    if (!filled_ || pins != pinRows_)
        showPins(pins);

    showSwitches(sources_, sourceSwitches_, sourceRows_, sourceRows(library_.sources(), library_.hiddenSources()),
                 QStringLiteral("source:"), [this](const QString& id, bool on) { library_.setSourceHidden(id, !on); });
    showSwitches(smartGroups_, smartSwitches_, smartRows_, smartGroupRows(library_.hiddenSmart()),
                 QStringLiteral("smart:"), [this](const QString& raw, bool on) {
                     if (const std::optional<SmartFilter> filter = smartFilterFromRawValue(raw))
                         library_.setSmartHidden(*filter, !on);
                 });
    filled_ = true;
    updateGeometry();
}

void SidebarSettings::showWorkspaces(const QList<WorkspaceRow>& rows)
{
    workspaceRows_ = rows;
    QVBoxLayout* box = clearedBox(workspaces_);
    for (const WorkspaceRow& row : rows) {
        auto* line = new QWidget(workspaces_);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* symbol = new QLabel(line);
        symbol->setPixmap(Icons::pixmap(row.symbol, 16, workspaceColor(row.tint, palette()), devicePixelRatioF()));
        symbol->setFixedWidth(symbolWidth);
        symbol->setAlignment(Qt::AlignCenter);
        auto* name = new QLabel(row.name, line);
        name->setTextFormat(Qt::PlainText);
        QToolButton* up = iconButton(QStringLiteral("arrow.up"), tr("Move Up"), QStringLiteral("up:") + row.id, line);
        up->setEnabled(row.canMoveUp);
        auto* edit = new QPushButton(tr("Edit…"), line);
        edit->setObjectName(QStringLiteral("edit:") + row.id);
        edit->setFlat(true);
        edit->setEnabled(bool(workspaceSheet_));
        const QString id = row.id;
        const auto find = [this, id]() -> std::optional<Workspace> {
            for (const Workspace& workspace : library_.workspaces())
                if (workspace.id == id)
                    return workspace;
            return std::nullopt;
        };
        connect(up, &QToolButton::clicked, this, [this, find] {
            if (const std::optional<Workspace> workspace = find())
                library_.moveWorkspace(*workspace, -1);
        });
        connect(edit, &QPushButton::clicked, this, [this, find] {
            if (const std::optional<Workspace> workspace = find())
                this->edit(*workspace);
        });
        layout->addWidget(symbol);
        layout->addWidget(name, 1);
        layout->addWidget(up);
        layout->addWidget(edit);
        box->addWidget(line);
    }
    auto* add = new QPushButton(tr("New Workspace…"), workspaces_);
    add->setObjectName(QStringLiteral("newWorkspace"));
    add->setFlat(true);
    add->setEnabled(bool(workspaceSheet_));
    connect(add, &QPushButton::clicked, this, [this] { edit(library_.newWorkspace()); });
    box->addWidget(add, 0, Qt::AlignLeft);
}

void SidebarSettings::showPins(const QList<PinRow>& rows)
{
    pinRows_ = rows;
    QVBoxLayout* box = clearedBox(pins_);
    if (rows.isEmpty()) {
        QLabel* hint = secondaryLabel(tr("Pin a folder from its menu in the sidebar."), pins_);
        hint->setObjectName(QStringLiteral("pinHint"));
        box->addWidget(hint);
        return;
    }
    for (qsizetype position = 0; position < rows.size(); ++position) {
        const PinRow& row = rows[position];
        auto* line = new QWidget(pins_);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* label = new ElidedLabel(line);
        label->setObjectName(QStringLiteral("pin:") + row.key);
        label->setFullText(row.label);
        QToolButton* up = iconButton(QStringLiteral("arrow.up"), tr("Move Up"), QStringLiteral("pinUp:") + row.key, line);
        up->setEnabled(row.canMoveUp);
        QToolButton* remove = iconButton(QStringLiteral("minus.circle"), tr("Remove"), QStringLiteral("unpin:") + row.key, line);
        connect(up, &QToolButton::clicked, this, [this, position] { changePins(pinsMovedUp(library_.pinned(), position)); });
        const QString key = row.key;
        connect(remove, &QToolButton::clicked, this, [this, key] { changePins(pinsWithout(library_.pinned(), key)); });
        layout->addWidget(label, 1);
        layout->addWidget(up);
        layout->addWidget(remove);
        box->addWidget(line);
    }
}

void SidebarSettings::showSwitches(QWidget* section, QHash<QString, QCheckBox*>& switches, QList<ShownRow>& shown,
                                   const QList<ShownRow>& rows, const QString& namePrefix,
                                   const std::function<void(const QString& id, bool on)>& toggled)
{
    const auto sameRows = [&] {
        if (!filled_ || rows.size() != shown.size())
            return false;
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (rows[i].id != shown[i].id || rows[i].title != shown[i].title)
                return false;
        return true;
    };
    if (!sameRows()) {
        QVBoxLayout* box = clearedBox(section);
        switches.clear();
        for (const ShownRow& row : rows) {
            auto* toggle = new QCheckBox(menuText(row.title), section);
            toggle->setObjectName(namePrefix + row.id);
            const QString id = row.id;
            connect(toggle, &QCheckBox::clicked, this, [toggled, id](bool on) { toggled(id, on); });
            switches.insert(row.id, toggle);
            box->addWidget(toggle);
        }
    }
    for (const ShownRow& row : rows)
        switches.value(row.id)->setChecked(row.shown);
    shown = rows;
}

void SidebarSettings::edit(const Workspace& workspace)
{
    if (editing_ || !workspaceSheet_)
        return;
    QDialog* sheet = workspaceSheet_(workspace, window());
    if (!sheet)
        return;
    editing_ = workspace;
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] { editing_.reset(); });
    sheet->open();
}

// The rows show the new order at once; the index is written afterwards.
void SidebarSettings::changePins(const QStringList& pins)
{
    library_.setPinned(pins);
    Tasks::start(library_.savePins(pins, library_.workspaceID()));
}
