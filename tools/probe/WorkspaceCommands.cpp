#include "tools/probe/ProbeLibrary.h"

#include <QCoroFuture>
#include <QCoroTask>

#include <algorithm>

namespace {

const QString usage = QStringLiteral("new|dup|move|rm|list SUPPORT_DIR [NAME [MEMBER_KEY...] | ID [OFFSET]]");

// The sources and workspaces as the library holds them after start-up.
QCoro::Task<> loadState(Library& library)
{
    library.setSources(co_await library.readIndex().run([](Index& index) { return index.sources(); }));
    library.setWorkspaces(co_await library.readIndex().run([](Index& index) { return index.workspaces(); }));
}

std::optional<Workspace> workspaceWithID(const Library& library, const QString& id)
{
    const QList<Workspace>& list = library.workspaces();
    const auto found = std::find_if(list.cbegin(), list.cend(), [&id](const Workspace& w) { return w.id == id; });
    return found == list.cend() ? std::nullopt : std::optional(*found);
}

enum class Outcome { done, badArguments, noSuchWorkspace };

Outcome runOperation(Library& library, const QString& operation, const QStringList& rest)
{
    if (operation == QLatin1String("list"))
        return rest.isEmpty() ? Outcome::done : Outcome::badArguments;
    if (operation == QLatin1String("new")) {
        if (rest.isEmpty())
            return Outcome::badArguments;
        Workspace workspace = library.newWorkspace();
        workspace.name = rest[0];
        if (rest.size() > 1)
            workspace.members = QSet<QString>(rest.cbegin() + 1, rest.cend());
        QCoro::waitFor(library.saveWorkspace(workspace));
        return Outcome::done;
    }
    if (rest.isEmpty())
        return Outcome::badArguments;
    const std::optional<Workspace> workspace = workspaceWithID(library, rest[0]);
    if (!workspace)
        return Outcome::noSuchWorkspace;
    bool offsetIsNumber = false;
    if (operation == QLatin1String("dup") && rest.size() == 1)
        library.duplicateWorkspace(*workspace);
    else if (operation == QLatin1String("rm") && rest.size() == 1)
        library.removeWorkspace(*workspace);
    else if (operation == QLatin1String("move") && rest.size() == 2 && (rest[1].toInt(&offsetIsNumber), offsetIsNumber))
        library.moveWorkspace(*workspace, rest[1].toInt());
    else
        return Outcome::badArguments;
    ProbeLibrary::finishTasks();
    return Outcome::done;
}

// The workspaces with their members and pins, read on a connection of their own.
void printStoredWorkspaces(const QString& supportDirectory, ProbeIo& io)
{
    Index fresh(supportDirectory + QStringLiteral("/index.sqlite"), Index::Access::readOnly);
    waitFor(fresh.run([&io](Index& index) {
        io.out << "position\tid\tname\tsymbol\ttint\tmembers\tpins\n";
        for (const Workspace& workspace : index.workspaces()) {
            QStringList members(workspace.members.cbegin(), workspace.members.cend());
            members.sort();
            io.out << workspace.position << '\t' << workspace.id << '\t' << workspace.name << '\t' << workspace.symbol
                   << '\t' << workspace.tint << '\t' << members.join(u',') << '\t'
                   << index.pins(workspace.id).join(u',') << '\n';
        }
    }));
    io.out.flush();
}

// workspace OPERATION SUPPORT_DIR …: drives one workspace operation through the Library, then
// prints the stored table.
const ProbeCommand workspaceCommand(
    QStringLiteral("workspace"), usage, [](const QStringList& args, ProbeIo& io) {
        if (args.size() < 2)
            return probeUsage(workspaceCommand, io);
        const std::unique_ptr<ProbeLibrary> probe = ProbeLibrary::open(args[1], io);
        if (!probe)
            return 1;
        Library& library = *probe->library;
        QCoro::waitFor(loadState(library));
        switch (runOperation(library, args[0], args.mid(2))) {
        case Outcome::done:
            break;
        case Outcome::badArguments:
            return probeUsage(workspaceCommand, io);
        case Outcome::noSuchWorkspace:
            io.err << "no workspace " << args[2] << Qt::endl;
            return 1;
        }
        if (library.lastError()) {
            io.err << "workspace " << args[0] << " failed: " << *library.lastError() << Qt::endl;
            return 1;
        }
        printStoredWorkspaces(args[1], io);
        return 0;
    });

} // namespace
