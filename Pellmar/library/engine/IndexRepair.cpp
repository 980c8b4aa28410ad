#include "Pellmar/library/engine/IndexRepair.h"

#include "Pellmar/index/IndexHealth.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Post.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"

#include <QCoroFuture>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// The file a rebuild moved aside, for the next start to take over from.
const QString damagedIndexKey = QStringLiteral("damagedIndex");

// Moves the index file and its log aside, beside it: "index-damaged.sqlite", numbered when taken.
// Throws DatabaseError, with the file left where it was, when they cannot be moved.
QString moveAside(const QString& indexPath)
{
    const QFileInfo original(indexPath);
    const QString stem = original.dir().filePath(original.completeBaseName() + QStringLiteral("-damaged"));
    QString target = stem + QStringLiteral(".sqlite");
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal")); ++n)
        target = stem + QStringLiteral("-%1.sqlite").arg(n);
    const auto refused = [&] {
        return DatabaseError(QStringLiteral("The damaged index %1 could not be moved to %2; nothing was changed. "
                                            "Free some space or fix the folder's permissions, then try again.")
                                 .arg(QDir::toNativeSeparators(indexPath), QDir::toNativeSeparators(target)));
    };
    if (!QFile::rename(indexPath, target))
        throw refused();
    // The log holds committed pages of the file: it goes with it, or the file comes back.
    const QString log = indexPath + QStringLiteral("-wal");
    if (QFileInfo::exists(log) && !QFile::rename(log, target + QStringLiteral("-wal"))) {
        QFile::rename(target, indexPath);
        throw refused();
    }
    QFile::remove(indexPath + QStringLiteral("-shm"));
    return target;
}

} // namespace

IndexRepair::IndexRepair(Library& library, std::function<void()> restart)
    : library_(library)
    , health_(std::make_shared<IndexHealth>())
    , restart_(std::move(restart))
{
    const QPointer<Library> target(&library);
    health_->setDamageHandler([target](const QString& description) {
        postTo(target, [description](Library& library) { library.repair().stopForDamage(description); });
    });
}

bool IndexRepair::lostItsContents(const QString& indexPath, const QString& proxyDirectory)
{
    const QFileInfo index(indexPath);
    if (!index.exists() || index.size() != 0)
        return false;
    QDirIterator previews(proxyDirectory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return previews.hasNext();
}

QString IndexRepair::openFailureText(const QString& indexPath, const DatabaseError& error)
{
    const QString path = QDir::toNativeSeparators(indexPath);
    QString text = error.description().contains(path)
        ? error.description()
        : QStringLiteral("The index %1 could not be opened (%2).").arg(path, error.description());
    switch (error.sqliteCode() & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        if (!text.endsWith(u'.'))
            text += u'.';
        text += QStringLiteral(" If its disk is full, free some space; make sure its folder can be written to; "
                               "then open Quorvin again.");
        break;
    default:
        break;
    }
    return text;
}

QString IndexRepair::damageText(const QString& indexPath, const QString& description)
{
    return QStringLiteral("The index %1 is damaged (%2). Quorvin has stopped indexing and writes nothing more into it. "
                          "Rebuild Index keeps the damaged file beside it, makes a new index with the sources, "
                          "workspaces, pins and favorites it can still read, and indexes your files again. "
                          "Quit leaves everything as it is.")
        .arg(QDir::toNativeSeparators(indexPath), description);
}

void IndexRepair::stopForDamage(const QString& description)
{
    if (library_.indexDamage())
        return;
    library_.setIndexDamage(damageText(library_.supportDirectory() + QStringLiteral("/index.sqlite"), description));
    Tasks::start(library_.workers().stopWorker());
    Tasks::start(library_.workers().stopFullWorker());
    library_.changeWatcher().stopWatching();
    if (library_.importTask)
        library_.importTask->cancel();
}

QCoro::Task<> IndexRepair::rebuild()
{
    const AliveGuard alive(&library_);
    const QString index = library_.supportDirectory() + QStringLiteral("/index.sqlite");
    // This program's connections stay open on the moved file until it ends, after the new program
    // has started: closing, they must neither write its log back nor delete the new file's log.
    for (Index* connection : {&library_.index(), &library_.readIndex(), &library_.panelIndex(), &library_.statusIndex(),
                              &library_.treesIndex(), &library_.lookupIndex()})
        connection->database().keepLogOnClose();
    if (Database* reader = library_.reader())
        reader->keepLogOnClose();
    try {
        const QString aside = co_await alive(library_.pools().run(Priority::userInitiated, [index] { return moveAside(index); }));
        qCWarning(logIndex).noquote() << QStringLiteral("The damaged index was moved to ") + aside;
        library_.defaults().set(damagedIndexKey, aside);
    } catch (const DatabaseError& error) {
        library_.setLastError(error.description());
        co_return;
    }
    // On disk before the program ends; the write waits for the disk, so it runs on a pool thread.
    co_await alive(library_.pools().run(Priority::userInitiated, [defaults = &library_.defaults()] { defaults->sync(); }));
    restart_();
}

QCoro::Task<> IndexRepair::takeOverFromDamagedFile()
{
    const AliveGuard alive(&library_);
    const std::optional<QString> aside = library_.defaults().string(damagedIndexKey);
    if (!aside)
        co_return;
    try {
        co_await alive(library_.index().run([path = *aside](Index& index) { index.takeOverFrom(path); }));
    } catch (const DatabaseError& error) {
        qCWarning(logIndex).noquote() << QStringLiteral("Nothing could be taken over from the damaged index: ") + error.description();
    }
    library_.defaults().remove(damagedIndexKey);
    // The previews belonged to the damaged file's items; the workers make them again.
    co_await alive(library_.pools().run(Priority::userInitiated, [proxies = library_.proxyDirectory()] {
        QDir(proxies).removeRecursively();
        QDir().mkpath(proxies);
    }));
}
