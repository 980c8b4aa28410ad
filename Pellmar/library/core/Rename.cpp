#include "Pellmar/library/Library.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/FileMoves.h"
#include "Pellmar/media/SearchDate.h"
#include "Pellmar/media/SearchText.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace {

bool somethingAt(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

} // namespace

void Library::rename(const Item& item, const Location& location, const QString& name)
{
    const QString trimmed = name.trimmed();
    if (!location.local)
        return;
    const std::optional<QString> path = url(location);
    if (!path)
        return;
    const auto source = std::find_if(sources_.cbegin(), sources_.cend(),
                                     [&](const Source& known) { return known.id == location.sourceID; });
    if (source == sources_.cend())
        return;
    const QFileInfo file(*path);
    if (trimmed.isEmpty() || trimmed == file.fileName())
        return;
    if (trimmed.contains(u'/')) {
        setLastError(QStringLiteral("A name cannot contain a slash."));
        return;
    }
    const QString target = QDir(file.path()).filePath(trimmed);
    const qsizetype slash = location.relativePath.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : location.relativePath.left(slash);
    const QString newRelativePath = folder.isEmpty() ? trimmed : folder + u'/' + trimmed;
    Tasks::start(renameFile(*path, target, location, newRelativePath, item, folder, *source));
}

QCoro::Task<> Library::renameFile(QString path, QString target, Location location, QString newRelativePath, Item item,
                                  QString folder, Source source)
{
    const AliveGuard alive(this);
    // The file is looked at and moved off the GUI thread: a sleeping drive holds up no one.
    const int error = co_await alive(pools_.run(Priority::userInitiated, [path, target] {
        // A dangling link counts as taken: it is somebody's name, and the move must not replace it.
        return somethingAt(target) ? EEXIST : renameWithoutReplacing(path, target);
    }));
    if (error) {
        setLastError(error == EEXIST ? QFileInfo(target).fileName() + QStringLiteral(" already exists in that folder.")
                                     : QStringLiteral("Could not rename ") + QFileInfo(path).fileName() + u'.');
        co_return;
    }
    co_await alive(renameItem(location, newRelativePath, item, folder, source));
}

QCoro::Task<> Library::renameItem(Location location, QString newRelativePath, Item item, QString folder, Source source)
{
    const AliveGuard alive(this);
    try {
        co_await alive(index_->run([id = location.id, newRelativePath](Index& index) {
            index.renameFile(id, newRelativePath);
        }));
        const std::optional<Item> renamed =
            co_await alive(index_->run([id = item.id](Index& index) { return index.itemByID(id); }));
        if (renamed) {
            co_await alive(index_->run([id = item.id, text = searchText(*renamed, folder, source)](Index& index) {
                index.setSearchText(id, text);
            }));
        }
    } catch (const DatabaseError& error) {
        setLastError(error.description());
    }
    co_await alive(refreshAfterFileChange());
}

QString Library::searchText(const Item& item, const QString& folder, const Source& source)
{
    const QStringList parts = {
        item.filename,
        QString(folder).replace(u'/', u' '),
        source.name,
        volumeWord(source.volumeName),
        item.camera,
        item.lens,
        kindWord(item.kind),
        item.capturedAt ? searchDateFormatter().string(*item.capturedAt) : QString(),
    };
    QStringList present;
    for (const QString& part : parts) {
        if (!part.isEmpty())
            present.append(part);
    }
    return present.join(u' ');
}

QCoro::Task<> Library::refreshAfterFileChange()
{
    const AliveGuard alive(this);
    co_await alive(refreshTrees());
    co_await alive(search());
    co_await alive(refreshStatus());
    if (selection_)
        select(std::optional<Item>(selection_));
}
