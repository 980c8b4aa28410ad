#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/Desktop.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QMetaMethod>

#include <algorithm>

void Library::quickLook(const QList<Item>& items)
{
    QStringList paths;
    QList<QStringList> pictures;
    for (const Item& item : items) {
        // The copy found when the selection's files were looked at, off the GUI thread.
        const std::optional<Location> copy = fileFactsOf(item).reachable;
        if (!copy || !url(*copy))
            continue;
        const QString path = *url(*copy);
        QStringList largestFirst;
        if (const std::optional<QString> image = imageURL(item))
            largestFirst.append(*image);
        if (const std::optional<QString> preview = previewURL(item); preview && !largestFirst.contains(*preview))
            largestFirst.append(*preview);
        largestFirst.append(path);
        paths.append(path);
        pictures.append(largestFirst);
    }
    if (paths.isEmpty() || !isSignalConnected(QMetaMethod::fromSignal(&Library::quickLookShown))) {
        setLastError(QStringLiteral("Plug in the drive to preview this file."));
        return;
    }
    quickLookSource.urls = paths;
    quickLookSource.pictures = pictures;
    Q_EMIT quickLookShown();
}

void Library::open(const Item& item)
{
    const QList<Location> copies = locationsOf(item);
    const bool onlyInPhotoLibrary = !copies.isEmpty() && std::none_of(copies.cbegin(), copies.cend(), [](const Location& copy) {
        return copy.assetID.isEmpty();
    });
    if (!onlyInPhotoLibrary && !(defaults_->boolean(QStringLiteral("openInQuorvin")) && canView(item))) {
        Tasks::start(openOriginal(item, std::nullopt));
        return;
    }
    if (!selection_ || selection_->id != item.id)
        select(item);
    setFullscreen(true);
}

QCoro::Task<> Library::openOriginal(Item item, std::optional<QString> app)
{
    const AliveGuard alive(this);
    QList<Location> copies;
    try {
        copies = co_await alive(readIndex_->run([id = item.id](Index& index) {
            return Index::locationsOfItem(id, index.database());
        }));
    } catch (const DatabaseError&) {
    }
    const std::optional<Location> copy = co_await alive(reachableCopy(copies));
    if (const std::optional<QString> path = copy ? url(*copy) : std::nullopt) {
        openFile(*path, app);
        co_return;
    }
    QStringList places;
    for (const Location& location : copies) {
        if (location.assetID.isEmpty())
            places.append(location.sourceName);
    }
    setLastError(QStringLiteral("Plug in ") + places.join(QStringLiteral(" or ")) +
                 QStringLiteral(" to open the original of ") + item.filename + u'.');
}

void Library::openFile(const QString& path, const std::optional<QString>& app)
{
    if (app)
        desktop_->openWith(path, *app);
    else
        desktop_->open(path);
}

AppChoices Library::openWithApps(const Item& item)
{
    const QString extension = QFileInfo(item.filename).suffix().toLower();
    if (const auto cached = appCache.constFind(extension); cached != appCache.cend())
        return cached.value();
    const std::optional<QString> type = mimeTypeForExtension(extension);
    if (!type)
        return {};
    const DesktopApps apps = desktop_->applications(*type);
    const AppChoices choices{apps.preferred, apps.others()};
    appCache.insert(extension, choices);
    return choices;
}
