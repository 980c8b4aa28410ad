#include "Pellmar/library/Library.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"

#include <algorithm>
#include <chrono>

namespace {

using namespace std::chrono_literals;

constexpr auto relinkNoteShown = 8s;

QString rawOrNil(const std::optional<SmartFilter>& smart)
{
    return smart ? rawValue(*smart) : QStringLiteral("nil");
}

// The first click on a photo library source that was never read reads it.
QCoro::Task<> searchThenReadUnreadPhotos(Library& library, std::optional<QString> sourceID)
{
    const AliveGuard alive(&library);
    co_await alive(library.search());
    if (!sourceID)
        co_return;
    const QList<Source>& sources = library.sources();
    const auto source = std::find_if(sources.cbegin(), sources.cend(), [&](const Source& candidate) {
        return candidate.id == *sourceID && candidate.kind == SourceKind::photos;
    });
    if (source == sources.cend())
        co_return;
    const auto progress = library.sourceProgress().constFind(*sourceID);
    const bool unread = progress == library.sourceProgress().cend() || progress->total == 0;
    if (!unread || library.scanning())
        co_return;
    co_await alive(library.scan(*source));
}

// The favorites and "Not backed up" lists cover the whole workspace: no device, card, source,
// folder, smart row or only-here scope.
void leaveForWorkspaceList(Library& library)
{
    library.setSelectedDevice(std::nullopt);
    library.setSelectedCardFile(std::nullopt);
    library.setSelectedCards({});
    library.setSourceFilter(std::nullopt);
    library.setPathFilter(QString());
    library.setSmartFilter(std::nullopt);
    library.storeOnlyHere(false);
}

QCoro::Task<> expireRelinkNote(Library& library, QString note)
{
    const AliveGuard alive(&library);
    co_await alive(library.clock().sleep(relinkNoteShown));
    // A newer note has its own 8 seconds.
    if (library.relinkNote() == note)
        library.setRelinkNote(std::nullopt);
}

} // namespace

QString Library::queryKey() const
{
    return QStringList{
        workspaceID_,
        sourceFilter_.value_or(QString()),
        pathFilter_,
        smartFilter_ ? rawValue(*smartFilter_) : QString(),
        favoritesOnly_ ? QStringLiteral("favorites") : QString(),
        notBackedUp_ ? QStringLiteral("single") : QString(),
        selectedDevice_.value_or(QString()),
    }.join(u'|');
}

void Library::rememberQuery()
{
    const QString key = queryKey();
    if (query_.isEmpty())
        queries.remove(key);
    else
        queries.insert(key, query_);
    if (kindFilter_)
        kindFilters.insert(key, *kindFilter_);
    else
        kindFilters.remove(key);
}

void Library::restorePosition()
{
    const QString key = queryKey();
    setQuery(queries.value(key));
    const auto kind = kindFilters.constFind(key);
    setKindFilter(kind == kindFilters.cend() ? std::nullopt : std::optional(*kind));
}

void Library::setFilter(std::optional<QString> source, const QString& path, std::optional<SmartFilter> smart)
{
    rememberQuery();
    showPosition(std::move(source), path, smart);
}

void Library::showPosition(std::optional<QString> source, const QString& path, std::optional<SmartFilter> smart)
{
    setFavoritesOnly(false);
    setNotBackedUp(false);
    setSelectedDevice(std::nullopt);
    setSelectedCardFile(std::nullopt);
    setSelectedCards({});
    setSourceFilter(source);
    // The whole workspace has no folder or smart row.
    setPathFilter(source ? path : QString());
    setSmartFilter(source ? smart : std::nullopt);
    storeOnlyHere(false);
    restorePosition();
    qCInfo(logSearch, "setFilter source %s path '%s' smart %s stored smart %s query '%s'",
           qUtf8Printable(source.value_or(QStringLiteral("nil"))), qUtf8Printable(path),
           qUtf8Printable(rawOrNil(smart)), qUtf8Printable(rawOrNil(smartFilter_)), qUtf8Printable(query_));
    Tasks::start(searchThenReadUnreadPhotos(*this, std::move(source)));
}

void Library::showFavorites()
{
    rememberQuery();
    setNotBackedUp(false);
    leaveForWorkspaceList(*this);
    setFavoritesOnly(true);
    restorePosition();
    qCInfo(logSearch, "showFavorites workspace %s", qUtf8Printable(workspaceID_));
    Tasks::start(search());
}

void Library::showNotBackedUp()
{
    rememberQuery();
    setFavoritesOnly(false);
    leaveForWorkspaceList(*this);
    setNotBackedUp(true);
    restorePosition();
    Tasks::start(search());
}

void Library::selectDevice(const Device& device)
{
    // The device's files take the grid's place; the sidebar position underneath stays as it is.
    rememberQuery();
    select(std::nullopt);
    setSelectedCardFile(std::nullopt);
    setSelectedCards({});
    setSelectedDevice(device.url);
    restorePosition();
}

void Library::setOnlyHere(bool on)
{
    storeOnlyHere(on);
    Tasks::start(search());
}

void Library::setSort(SortField field, bool ascending)
{
    setSort(field);
    setAscending(ascending);
    defaults_->set(QStringLiteral("sort"), rawValue(field));
    defaults_->set(QStringLiteral("ascending"), ascending);
    Tasks::start(search());
}

void Library::showRelinkNote(const QString& note)
{
    setRelinkNote(note);
    Tasks::start(expireRelinkNote(*this, note));
}
