#include "Pellmar/views/frame/DialogPresenter.h"

#include "Pellmar/library/engine/IndexRepair.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/frame/DialogTexts.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The dialog each Library shows, across its windows: at most one at a time.
QHash<const Library*, QPointer<QDialog>>& shownDialogs()
{
    static QHash<const Library*, QPointer<QDialog>> shown;
    return shown;
}

QString copyKey(const ItemCopy& copy)
{
    return copy.item.id + u'@' + QString::number(copy.location.id);
}

// A sheet that names what it is for, in place of a view that is not part of the program yet.
QDialog* plainSheet(const QString& title, const QString& name, QWidget* parent)
{
    auto* sheet = new QDialog(parent);
    sheet->setWindowTitle(title);
    auto* heading = new QLabel(title, sheet);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* label = new QLabel(name, sheet);
    label->setTextFormat(Qt::PlainText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, sheet);
    QObject::connect(buttons, &QDialogButtonBox::rejected, sheet, &QDialog::reject);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addWidget(heading);
    layout->addWidget(label);
    layout->addWidget(buttons);
    sheet->setMinimumWidth(420);
    return sheet;
}

// The window of each Library that last held the keyboard: it presents while no window does, as
// between the closing of one dialog and the return of the keyboard to its window.
QHash<const Library*, QPointer<QWidget>>& lastActiveWindows()
{
    static QHash<const Library*, QPointer<QWidget>> last;
    return last;
}

} // namespace

DialogPresenter::DialogPresenter(Library& library, QWidget& window, DialogActions actions)
    : QObject(&window)
    , library_(library)
    , window_(window)
    , actions_(std::move(actions))
{
    using P = Library::Prop;
    auto* refresh = new CoalescedRefresh(library_,
                                         {P::indexDamage, P::importDevice, P::editingWorkspace, P::deletingWorkspace, P::trashingGroup,
                                          P::stoppingSource, P::renaming, P::trashing},
                                         [this](const auto&) { this->refresh(); }, this);
    refresh->requestAll();
    window_.installEventFilter(this);
    if (window_.isActiveWindow())
        lastActiveWindows().insert(&library_, &window_);
}

DialogPresenter::~DialogPresenter()
{
    if (dialog_ && shownDialogs().value(&library_) == dialog_)
        shownDialogs().remove(&library_);
    if (lastActiveWindows().value(&library_) == &window_)
        lastActiveWindows().remove(&library_);
}

std::optional<DialogPresenter::Surface> DialogPresenter::surface() const
{
    if (!dialog_)
        return std::nullopt;
    return surface_;
}

bool DialogPresenter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::ActivationChange) {
        if (window_.isActiveWindow())
            lastActiveWindows().insert(&library_, &window_);
        refresh();
    }
    return QObject::eventFilter(watched, event);
}

std::optional<std::pair<DialogPresenter::Surface, QString>> DialogPresenter::wanted() const
{
    if (const auto& damage = library_.indexDamage())
        return {{Surface::indexDamage, *damage}};
    if (const auto& device = library_.importDevice())
        return {{Surface::importSheet, device->id()}};
    if (const auto& workspace = library_.editingWorkspace())
        return {{Surface::workspaceSheet, workspace->id}};
    if (const auto& workspace = library_.deletingWorkspace())
        return {{Surface::deleteWorkspace, workspace->id}};
    if (const auto& group = library_.trashingGroup()) {
        QStringList keys;
        for (const ItemCopy& copy : *group)
            keys.append(copyKey(copy));
        return {{Surface::trashGroup, keys.join(u',')}};
    }
    if (const auto& source = library_.stoppingSource())
        return {{Surface::stopIndexing, source->id}};
    if (const auto& copy = library_.renaming())
        return {{Surface::rename, copyKey(*copy)}};
    if (const auto& copy = library_.trashing())
        return {{Surface::trashCopy, copyKey(*copy)}};
    return std::nullopt;
}

void DialogPresenter::refresh()
{
    const auto next = wanted();
    if (dialog_) {
        if (next && next->first == surface_ && next->second == presentedKey_)
            return;
        // Its property was set to nothing or to another value elsewhere.
        dismissing_ = true;
        dialog_->reject();
        dismissing_ = false;
    }
    if (!next || !mayPresent() || shownDialogs().value(&library_))
        return;
    surface_ = next->first;
    presentedKey_ = next->second;
    dialog_ = build(surface_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setWindowModality(Qt::WindowModal);
    shownDialogs().insert(&library_, dialog_);
    const Surface surface = surface_;
    connect(dialog_, &QDialog::finished, this, [this, surface] { finished(surface); });
    dialog_->open();
}

bool DialogPresenter::mayPresent() const
{
    if (window_.isActiveWindow())
        return true;
    return !QApplication::activeWindow() && lastActiveWindows().value(&library_) == &window_;
}

void DialogPresenter::finished(Surface surface)
{
    shownDialogs().remove(&library_);
    dialog_ = nullptr;
    if (!dismissing_)
        clear(surface);
}

void DialogPresenter::clear(Surface surface)
{
    switch (surface) {
    case Surface::indexDamage: break;   // the damage stays; the choice made ends or restarts the program
    case Surface::importSheet: library_.setImportDevice(std::nullopt); break;
    case Surface::workspaceSheet: library_.setEditingWorkspace(std::nullopt); break;
    case Surface::deleteWorkspace: library_.setDeletingWorkspace(std::nullopt); break;
    case Surface::trashGroup: library_.setTrashingGroup(std::nullopt); break;
    case Surface::stopIndexing: library_.setStoppingSource(std::nullopt); break;
    case Surface::rename: library_.setRenaming(std::nullopt); break;
    case Surface::trashCopy: library_.setTrashing(std::nullopt); break;
    }
}

QDialog* DialogPresenter::build(Surface surface)
{
    using Role = AlertDialog::Role;
    // The confirming button runs `action` with the presented value, or is off without one.
    const auto alert = [this](const QString& title, const QString& message, const QString& confirm, auto action) {
        auto* dialog = new AlertDialog(title, message, confirm, Role::destructive, &window_);
        dialog->confirmButton()->setEnabled(bool(action));
        if (action)
            connect(dialog, &QDialog::accepted, this, action);
        return dialog;
    };

    switch (surface) {
    case Surface::indexDamage:
        return buildIndexDamage();
    case Surface::importSheet: {
        const Device device = *library_.importDevice();
        if (actions_.importSheet)
            return actions_.importSheet(device, &window_);
        return plainSheet(tr("Import"), device.name, &window_);
    }
    case Surface::workspaceSheet: {
        const Workspace workspace = *library_.editingWorkspace();
        if (actions_.workspaceSheet)
            return actions_.workspaceSheet(workspace, &window_);
        return plainSheet(tr("Workspace"), workspace.name, &window_);
    }
    case Surface::deleteWorkspace: {
        const Workspace workspace = *library_.deletingWorkspace();
        const auto remove = actions_.removeWorkspace;
        return alert(DialogTexts::deleteWorkspaceTitle(workspace), DialogTexts::deleteWorkspaceMessage(), tr("Delete"),
                     remove ? std::function<void()>([remove, workspace] { remove(workspace); }) : nullptr);
    }
    case Surface::trashGroup: {
        const QList<ItemCopy> group = *library_.trashingGroup();
        const auto move = actions_.moveToTrash;
        return alert(DialogTexts::trashGroupTitle(group.size()),
                     DialogTexts::trashGroupMessage(library_.selectedIDs().size(), group.size()), tr("Move to Trash"),
                     move ? std::function<void()>([move, group] { move(group); }) : nullptr);
    }
    case Surface::stopIndexing: {
        const Source source = *library_.stoppingSource();
        const auto remove = actions_.removeSource;
        return alert(DialogTexts::stopIndexingTitle(source), DialogTexts::stopIndexingMessage(), tr("Stop Indexing"),
                     remove ? std::function<void()>([remove, source] { remove(source); }) : nullptr);
    }
    case Surface::rename:
        return buildRename();
    case Surface::trashCopy: {
        const ItemCopy copy = *library_.trashing();
        const auto trash = actions_.trash;
        return alert(DialogTexts::trashCopyTitle(copy), DialogTexts::trashCopyMessage(copy, library_.copies()),
                     tr("Move to Trash"), trash ? std::function<void()>([trash, copy] { trash(copy); }) : nullptr);
    }
    }
    Q_UNREACHABLE();
}

// Rebuild Index, or Quit (the default, and Escape): the program goes on with nothing that writes.
QDialog* DialogPresenter::buildIndexDamage()
{
    auto* dialog = new AlertDialog(DialogTexts::indexDamageTitle(), *library_.indexDamage(), tr("Rebuild Index"),
                                   AlertDialog::Role::destructive, &window_);
    dialog->cancelButton()->setText(tr("Quit"));
    connect(dialog, &QDialog::accepted, this, [this] { Tasks::start(library_.repair().rebuild()); });
    connect(dialog, &QDialog::rejected, this, [this] {
        if (!dismissing_)
            QCoreApplication::quit();
    });
    return dialog;
}

// The name field edits the Library's newName as the user types, so that it keeps what was typed
// when the rename is cancelled.
QDialog* DialogPresenter::buildRename()
{
    const ItemCopy copy = *library_.renaming();
    auto* dialog = new AlertDialog(DialogTexts::renameTitle(), DialogTexts::renameMessage(copy.location), tr("Rename"),
                                   AlertDialog::Role::normal, &window_);
    QLineEdit* field = dialog->addField(tr("Name"));
    field->setText(library_.newName());
    // The name is selected without its extension, so that typing keeps the type.
    const qsizetype dot = field->text().lastIndexOf(u'.');
    field->setSelection(0, int(dot > 0 ? dot : field->text().size()));
    connect(field, &QLineEdit::textEdited, &library_, &Library::setNewName);
    connect(&library_, &Library::changed, field, [this, field](Library::Prop property) {
        if (property == Library::Prop::newName && field->text() != library_.newName())
            field->setText(library_.newName());
    });
    dialog->confirmButton()->setEnabled(bool(actions_.rename));
    if (const auto rename = actions_.rename)
        connect(dialog, &QDialog::accepted, this, [this, rename, copy] { rename(copy, library_.newName()); });
    return dialog;
}
