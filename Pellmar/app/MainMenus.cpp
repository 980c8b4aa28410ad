#include "Pellmar/app/MainMenus.h"

#include "Pellmar/app/Application.h"
#include "Pellmar/app/EditCommands.h"
#include "Pellmar/app/Updater.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/MenuText.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace {

constexpr int workspaceShortcuts = 9;

QAction* addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

} // namespace

QList<MainMenus::WorkspaceEntry> MainMenus::workspaceEntries(const QList<Workspace>& workspaces)
{
    QList<WorkspaceEntry> entries;
    for (qsizetype i = 0; i < std::min<qsizetype>(workspaces.size(), workspaceShortcuts); ++i) {
        const Workspace& workspace = workspaces[i];
        entries.append({menuText(workspace.name), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), workspace.id});
    }
    return entries;
}

MainMenus::MainMenus(QMainWindow& window, Application& application, Library& library)
    : QObject(&window)
    , window_(window)
    , application_(application)
    , library_(library)
{
    QMenuBar* bar = window.menuBar();
    addFileMenu(bar->addMenu(tr("&File")));
    addEditMenu(bar->addMenu(tr("&Edit")));
    workspaceMenu_ = bar->addMenu(tr("&Workspace"));
    workspaceMenu_->setObjectName(QStringLiteral("workspaceMenu"));
    addHelpMenu(bar->addMenu(tr("&Help")));

    using P = Library::Prop;
    auto* workspaces = new CoalescedRefresh(library_, {P::workspaces}, [this](const auto&) { rebuildWorkspaceMenu(); }, this);
    workspaces->requestAll();
    // The edit commands' states follow the focus and the grid's selection, items and place, so that
    // their shortcuts work or not as the menu shows.
    auto* grid = new CoalescedRefresh(library_, {P::selectedIDs, P::items, P::sourceFilter, P::pathFilter},
                                      [this](const auto&) { updateEditStates(); }, this);
    grid->requestAll();
    connect(qApp, &QApplication::focusChanged, this, &MainMenus::updateEditStates);
}

void MainMenus::addFileMenu(QMenu* menu)
{
    connect(addAction(menu, QStringLiteral("newWindow"), tr("New Window"), QKeySequence::New), &QAction::triggered,
            &application_, &Application::openWindow);
    connect(addAction(menu, QStringLiteral("addFolder"), tr("Add Folder…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)),
            &QAction::triggered, &library_, &Library::addSource);
    menu->addSeparator();
    QAction* settings = addAction(menu, QStringLiteral("settings"), tr("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, &application_, &Application::showSettings);
    QAction* update = addAction(menu, QStringLiteral("checkForUpdates"), tr("Check for Updates…"));
    update->setEnabled(application_.updater().canCheck());
    connect(&application_.updater(), &Updater::canCheckChanged, update, &QAction::setEnabled);
    connect(update, &QAction::triggered, &application_.updater(), &Updater::check);
    menu->addSeparator();
    QAction* quit = addAction(menu, QStringLiteral("quit"), tr("Quit"), QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, &application_, &Application::closeAllWindows);
}

void MainMenus::addEditMenu(QMenu* menu)
{
    using namespace EditCommands;
    cut_ = addAction(menu, QStringLiteral("cut"), tr("Cut"), QKeySequence::Cut);
    copy_ = addAction(menu, QStringLiteral("copy"), tr("Copy"), QKeySequence::Copy);
    paste_ = addAction(menu, QStringLiteral("paste"), tr("Paste"), QKeySequence::Paste);
    delete_ = addAction(menu, QStringLiteral("delete"), tr("Delete"));
    selectAll_ = addAction(menu, QStringLiteral("selectAll"), tr("Select All"), QKeySequence::SelectAll);

    const auto route = [this](QAction* action, Command command) {
        connect(action, &QAction::triggered, this, [this, command] { perform(command, target(&window_)); });
    };
    route(cut_, Command::cut);
    route(copy_, Command::copy);
    route(paste_, Command::paste);
    route(delete_, Command::deleteSelection);
    route(selectAll_, Command::selectAll);
    connect(menu, &QMenu::aboutToShow, this, &MainMenus::updateEditStates);
}

void MainMenus::addHelpMenu(QMenu* menu)
{
    QAction* about = addAction(menu, QStringLiteral("about"), tr("About Quorvin"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        auto* box = new QMessageBox(QMessageBox::Information, tr("About Quorvin"),
                                    tr("Quorvin %1\n\nOne index of your photos, videos, audio and documents, "
                                       "wherever their copies are.")
                                        .arg(QStringLiteral(QUORVIN_VERSION)),
                                    QMessageBox::Ok, &window_);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}

void MainMenus::rebuildWorkspaceMenu()
{
    workspaceMenu_->clear();
    int number = 1;
    for (const WorkspaceEntry& entry : workspaceEntries(library_.workspaces())) {
        QAction* action = addAction(workspaceMenu_, QStringLiteral("workspace%1").arg(number++), entry.title, entry.shortcut);
        connect(action, &QAction::triggered, this, [this, id = entry.id] { library_.setWorkspace(id); });
    }
}

void MainMenus::updateEditStates()
{
    const EditCommands::States states = EditCommands::states(EditCommands::target(&window_));
    cut_->setEnabled(states.cut);
    copy_->setEnabled(states.copy);
    paste_->setEnabled(states.paste);
    delete_->setEnabled(states.deleteSelection);
    selectAll_->setEnabled(states.selectAll);
}
