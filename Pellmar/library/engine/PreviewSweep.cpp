#include "Pellmar/library/engine/PreviewSweep.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/index/RemovedItems.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

namespace {

// Ids are checked against the index this many at a time, so that the views' reads on the same
// connection never wait long behind the pass.
constexpr qsizetype idsPerLookup = 1000;

// The item id a file of "Proxies" belongs to: its name up to the first "."; nothing for a name
// that starts with one (a partial file of a write under way).
QString idOfFile(const QString& name)
{
    const qsizetype dot = name.indexOf(u'.');
    return dot > 0 ? name.first(dot) : QString();
}

// The files of "Proxies" whose ids `index` does not know. Blocks on the disk and on the index;
// stops with what it has when the index can no longer be read (the Library is going away).
QSet<QString> unknownIDsInFolder(const QString& proxyDirectory, Index& index)
{
    QSet<QString> unknown;
    QSet<QString> seen;
    QStringList batch;
    const auto check = [&] {
        const QStringList ids = std::exchange(batch, {});
        const QStringList found = waitFor(index.run([ids](Index& ix) { return unknownItemIDs(ix.database(), ids); }));
        unknown.unite(QSet<QString>(found.cbegin(), found.cend()));
    };
    try {
        QDirIterator files(proxyDirectory, QDir::Files | QDir::Hidden | QDir::System);
        while (files.hasNext()) {
            const QString id = idOfFile(files.nextFileInfo().fileName());
            if (id.isEmpty() || seen.contains(id))
                continue;
            seen.insert(id);
            batch.append(id);
            if (batch.size() == idsPerLookup)
                check();
        }
        if (!batch.isEmpty())
            check();
    } catch (const DatabaseError& error) {
        qCInfo(logIndex, "the pass over the preview folder stopped: %s", qUtf8Printable(error.description()));
        return {};
    }
    return unknown;
}

// The files an item had in "Proxies", by their recorded extensions.
QStringList filesOfItem(const QString& proxyDirectory, const Item& item)
{
    const QString stem = proxyDirectory + u'/' + item.id;
    QStringList files;
    if (!item.previewExtension.isEmpty())
        files.append(stem + QStringLiteral(".preview.") + item.previewExtension);
    if (!item.posterExtension.isEmpty())
        files.append(stem + QStringLiteral(".poster.") + item.posterExtension);
    if (!item.proxyExtension.isEmpty() && item.proxyExtension != QLatin1String("none"))
        files.append(stem + u'.' + item.proxyExtension);
    return files;
}

} // namespace

void deleteItemFiles(const QString& proxyDirectory, const QSet<QString>& itemIDs)
{
    QDirIterator files(proxyDirectory, QDir::Files | QDir::Hidden | QDir::System);
    while (files.hasNext()) {
        const QString id = idOfFile(files.nextFileInfo().fileName());
        if (!id.isEmpty() && itemIDs.contains(id))
            QFile::remove(files.filePath());
    }
}

struct PreviewSweep::State {
    bool running = false;
    bool folderSwept = false;
};

PreviewSweep::PreviewSweep(Library& library)
    : library_(library)
    , state_(std::make_shared<State>())
{
}

PreviewSweep::~PreviewSweep() = default;

void PreviewSweep::afterQuickIndex()
{
    if (state_->running || library_.workers().quickIndexUnderWay())
        return;
    state_->running = true;
    Tasks::start(pass(library_, state_));
}

QCoro::Task<> PreviewSweep::pass(Library& library, std::shared_ptr<State> state)
{
    const AliveGuard alive(&library);
    const quint64 runsBefore = library.workers().quickRunsStarted();
    const QString folder = library.proxyDirectory();
    QList<Item> removed;
    try {
        removed = co_await alive(library.index().run([](Index& index) { return takeRemovedItems(index.database()); }));
    } catch (const DatabaseError& error) {
        qCInfo(logIndex, "the removed items' previews stay for now: %s", qUtf8Printable(error.description()));
    }
    if (!removed.isEmpty()) {
        co_await alive(library.pools().run(Priority::background, [folder, removed] {
            for (const Item& item : removed) {
                for (const QString& file : filesOfItem(folder, item))
                    QFile::remove(file);
            }
        }));
    }

    if (!state->folderSwept) {
        const QSet<QString> unknown = co_await alive(library.pools().runLoop(
            Priority::background, [folder, index = &library.readIndex()] { return unknownIDsInFolder(folder, *index); }));
        // A run that began meanwhile may have pictures of items it has not written yet.
        if (!library.workers().quickIndexUnderWay() && library.workers().quickRunsStarted() == runsBefore) {
            if (!unknown.isEmpty()) {
                qCInfo(logIndex, "deleting the preview files of %lld ids the index does not know", qint64(unknown.size()));
                co_await alive(library.pools().run(Priority::background, [folder, unknown] { deleteItemFiles(folder, unknown); }));
            }
            state->folderSwept = true;
        }
    }
    state->running = false;
}
