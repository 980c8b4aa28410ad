#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/ChangedFolders.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>
#include <QPointer>

namespace {

struct Relink {
    Source source;
    RelinkTarget target;
};

// The sources whose volume is mounted elsewhere now, in source order; touches the disk.
QList<Relink> findRelinks(const QList<Source>& sources, const Volumes& volumes)
{
    const QList<MountedVolume> mounted = relinkVolumes(volumes);
    QList<Relink> relinks;
    for (const Source& source : sources) {
        if (const std::optional<RelinkTarget> target = relinkCandidates(source, mounted))
            relinks.append({source, *target});
    }
    return relinks;
}

// One pass: moves each source found, then tells the user and reloads when any moved.
QCoro::Task<> relinkOnce(Library& library)
{
    const AliveGuard alive(&library);
    const QList<Relink> relinks = co_await alive(library.pools().run(
        Priority::userInitiated, [sources = library.sources(), volumes = &library.volumes()] {
            return findRelinks(sources, *volumes);
        }));
    QStringList names;
    for (const Relink& relink : relinks) {
        const Source& source = relink.source;
        // A source named after its volume takes the volume's new name.
        const QString name = source.name == source.volumeName ? relink.target.volumeName : source.name;
        try {
            co_await alive(library.index().run([id = source.id, target = relink.target, name](Index& index) {
                index.relinkSource(id, target.path, name, target.volumeName);
            }));
        } catch (const DatabaseError& error) {
            library.setLastError(error.description());
            continue;
        }
        qCInfo(logWatch, "relinked %s from %s to %s", qUtf8Printable(source.name), qUtf8Printable(source.rootPath),
               qUtf8Printable(relink.target.path));
        if (relink.target.ambiguous)
            qCInfo(logWatch, "more than one mounted volume has the id of %s; used %s", qUtf8Printable(source.name),
                   qUtf8Printable(relink.target.path));
        names.append(name);
    }
    if (names.isEmpty())
        co_return;
    library.showRelinkNote(QStringLiteral("Relinked ") + names.join(QStringLiteral(", ")));
    co_await alive(library.reload());
}

} // namespace

QCoro::Task<> Library::relinkSources()
{
    const AliveGuard alive(this);
    // Two passes at once would both find a source gone and move it twice.
    if (relinking) {
        relinkAgain = true;
        co_return;
    }
    relinking = true;
    do {
        relinkAgain = false;
        co_await alive(relinkOnce(*this));
    } while (relinkAgain);
    relinking = false;
}

QCoro::Task<> Library::volumesChanged()
{
    const AliveGuard alive(this);
    co_await alive(relinkSources());
    refreshDevices();
}
