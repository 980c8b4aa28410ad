#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/ChangedFolders.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QPointer>

namespace {

struct Relink {
    Source source;
    RelinkTarget target;
};

struct RelinkProbe {
    QList<Relink> relinks;
    // Sources from before the path below their volume's mount point was kept, found in place on
    // their volume: that path now, so that a later relink keeps it.
    QList<Source> learned;
};

// The sources whose volume is mounted elsewhere now, in source order; touches the disk.
RelinkProbe probeSources(const QList<Source>& sources, const Volumes& volumes)
{
    const QList<MountedVolume> mounted = relinkVolumes(volumes);
    RelinkProbe probe;
    for (const Source& source : sources) {
        if (const std::optional<RelinkTarget> target = relinkCandidates(source, mounted)) {
            probe.relinks.append({source, *target});
            continue;
        }
        if (source.kind != SourceKind::folder || source.volumePath || source.volumeUUID.isEmpty()
            || !QFileInfo::exists(source.rootPath))
            continue;
        const std::optional<MountedVolume> holder = volumeHolding(mounted, source.rootPath);
        if (holder && holder->uuid == source.volumeUUID) {
            Source known = source;
            known.volumePath = volumePathOf(source.rootPath, holder->url);
            if (known.volumePath)
                probe.learned.append(known);
        }
    }
    return probe;
}

// Stores what the probe learned, in the index and in the library's sources; failures are left for
// the next pass.
QCoro::Task<> keepVolumePaths(Library& library, QList<Source> learned)
{
    const AliveGuard alive(&library);
    try {
        co_await alive(library.index().run([learned](Index& index) {
            for (const Source& source : learned)
                index.setSourceVolumePath(source.id, *source.volumePath);
        }));
    } catch (const DatabaseError& error) {
        qCWarning(logWatch, "could not keep the volume paths of sources: %s", qUtf8Printable(error.description()));
        co_return;
    }
    QList<Source> sources = library.sources();
    for (Source& source : sources) {
        for (const Source& known : learned)
            if (known.id == source.id && known.rootPath == source.rootPath)
                source.volumePath = known.volumePath;
    }
    library.setSources(sources);
}

// One pass: moves each source found, then tells the user and reloads when any moved.
QCoro::Task<> relinkOnce(Library& library)
{
    const AliveGuard alive(&library);
    const RelinkProbe probe = co_await alive(library.pools().run(
        Priority::userInitiated, [sources = library.sources(), volumes = &library.volumes()] {
            return probeSources(sources, *volumes);
        }));
    if (!probe.learned.isEmpty())
        co_await alive(keepVolumePaths(library, probe.learned));
    const QList<Relink>& relinks = probe.relinks;
    QStringList names;
    for (const Relink& relink : relinks) {
        const Source& source = relink.source;
        // A source named after its volume takes the volume's new name.
        const QString name = source.name == source.volumeName ? relink.target.volumeName : source.name;
        try {
            co_await alive(library.index().run([id = source.id, target = relink.target, name](Index& index) {
                index.relinkSource(id, target.path, name, target.volumeName, target.volumePath);
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
