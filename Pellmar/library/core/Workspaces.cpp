#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"

#include <QUuid>

#include <algorithm>

void Library::setWorkspace(const QString& id)
{
    if (id == workspaceID_)
        return;
    if (std::none_of(workspaces_.cbegin(), workspaces_.cend(), [&id](const Workspace& w) { return w.id == id; }))
        return;
    rememberQuery();
    setQuery(QString());
    setKindFilter(std::nullopt);
    setWorkspaceID(id);
    defaults_->set(QStringLiteral("workspace"), id);
    select(std::nullopt);
    Tasks::start(loadWorkspace(id));
}

QCoro::Task<> Library::loadWorkspace(QString id)
{
    const AliveGuard alive(this);
    // Unreadable pins or favorites show as none; the workspace is still shown.
    QStringList pins;
    try {
        pins = co_await alive(index_->run([id](Index& index) { return index.pins(id); }));
    } catch (const DatabaseError&) {
    }
    setPinned(pins);
    QSet<QString> favoriteIDs;
    try {
        favoriteIDs = co_await alive(index_->run([id](Index& index) { return index.favoriteIDs(id); }));
    } catch (const DatabaseError&) {
    }
    setFavorites(favoriteIDs);
    showPosition(std::nullopt, QString(), std::nullopt);
}

Workspace Library::newWorkspace() const
{
    Workspace workspace;
    workspace.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    workspace.symbol = QStringLiteral("camera");
    workspace.tint = QStringLiteral("blue");
    workspace.position = workspaces_.isEmpty()
        ? 1
        : std::max_element(workspaces_.cbegin(), workspaces_.cend(), [](const Workspace& a, const Workspace& b) {
              return a.position < b.position;
          })->position + 1;
    for (const Source& source : sources_)
        workspace.members.insert(source.id + u'|');
    return workspace;
}

void Library::duplicateWorkspace(const Workspace& workspace)
{
    Workspace copy = newWorkspace();
    copy.name = workspace.name + QStringLiteral(" Copy");
    copy.symbol = workspace.symbol;
    copy.tint = workspace.tint;
    // The built-in workspace stores no members: its copy holds every source there is now.
    if (workspace.id != Index::everythingWorkspaceID)
        copy.members = workspace.members;
    Tasks::start(createWorkspace(copy, workspace));
}

QCoro::Task<> Library::createWorkspace(Workspace copy, Workspace copied)
{
    const AliveGuard alive(this);
    try {
        setWorkspaces(co_await alive(index_->run([copy, copiedID = copied.id](Index& index) {
            index.saveWorkspace(copy);
            index.savePins(index.pins(copiedID), copy.id);
            return index.workspaces();
        })));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
}

QCoro::Task<> Library::saveWorkspace(Workspace workspace)
{
    const AliveGuard alive(this);
    try {
        setWorkspaces(co_await alive(index_->run([workspace](Index& index) {
            index.saveWorkspace(workspace);
            return index.workspaces();
        })));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
    // The shown workspace's members may have changed.
    if (workspace.id == workspaceID_)
        co_await alive(search());
}

void Library::removeWorkspace(const Workspace& workspace)
{
    if (workspace.id == Index::everythingWorkspaceID)
        return;
    if (workspace.id == workspaceID_)
        setWorkspace(Index::everythingWorkspaceID);
    Tasks::start(deleteWorkspace(workspace.id));
}

QCoro::Task<> Library::deleteWorkspace(QString id)
{
    const AliveGuard alive(this);
    try {
        setWorkspaces(co_await alive(index_->run([id](Index& index) {
            index.deleteWorkspace(id);
            return index.workspaces();
        })));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
}

void Library::moveWorkspace(const Workspace& workspace, int offset)
{
    const qsizetype from = workspaces_.indexOf(workspace);
    if (from < 0)
        return;
    const qsizetype to = from + offset;
    if (to < 0 || to >= workspaces_.size())
        return;
    QList<Workspace> reordered = workspaces_;
    reordered.swapItemsAt(from, to);
    Tasks::start(saveWorkspaceOrder(reordered));
}

QCoro::Task<> Library::saveWorkspaceOrder(QList<Workspace> list)
{
    const AliveGuard alive(this);
    try {
        setWorkspaces(co_await alive(index_->run([list](Index& index) {
            // Positions become 0, 1, 2, … in list order; only the ones that differ are written,
            // and a failed write leaves the entries after it as they were.
            for (qsizetype position = 0; position < list.size(); ++position) {
                if (list[position].position == position)
                    continue;
                Workspace moved = list[position];
                moved.position = position;
                index.saveWorkspace(moved);
            }
            return index.workspaces();
        })));
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
}
