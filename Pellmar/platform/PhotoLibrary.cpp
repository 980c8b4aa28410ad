#include "Pellmar/platform/PhotoLibrary.h"

#include <QMutexLocker>
#include <QUuid>

namespace {

// Identifiers of new objects: a fresh UUID and the kind of object, so that they hold a "/".
QString newIdentifier(const char* kind)
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('/') + QLatin1String(kind);
}

} // namespace

PhotoLibraryError::PhotoLibraryError(Code code, QString description)
    : code_(code)
    , description_(std::move(description))
    , utf8_(description_.toUtf8())
{
}

QString PhotoLibraryChanges::createAlbum(const QString& title)
{
    const QString identifier = newIdentifier("album");
    requests_.emplace_back(CreateAlbum{identifier, title});
    return identifier;
}

QString PhotoLibraryChanges::createAsset(PhotoResourceType resourceType, const QString& filePath,
                                         const QString& originalFilename)
{
    const QString identifier = newIdentifier("asset");
    requests_.emplace_back(CreateAsset{identifier, resourceType, filePath, originalFilename});
    return identifier;
}

void PhotoLibraryChanges::addAssets(const QString& albumIdentifier, const QStringList& assetIdentifiers)
{
    requests_.emplace_back(AddAssets{albumIdentifier, assetIdentifiers});
}

void PhotoLibraryChanges::setFavorite(const QString& assetIdentifier, bool favorite)
{
    requests_.emplace_back(SetFavorite{assetIdentifier, favorite});
}

void PhotoChangeObservers::add(std::weak_ptr<PhotoLibraryChangeObserver> observer)
{
    QMutexLocker lock(&mutex_);
    observers_.push_back(std::move(observer));
}

void PhotoChangeObservers::notify()
{
    std::vector<std::shared_ptr<PhotoLibraryChangeObserver>> alive;
    {
        QMutexLocker lock(&mutex_);
        std::erase_if(observers_, [](const auto& observer) { return observer.expired(); });
        for (const auto& observer : observers_)
            if (auto strong = observer.lock())
                alive.push_back(std::move(strong));
    }
    // Called outside the lock: an observer may register another one or read the library.
    for (const auto& observer : alive)
        observer->photoLibraryDidChange();
}

bool isPhotoAccessGranted(PhotoAuthorizationStatus status)
{
    return status == PhotoAuthorizationStatus::authorized || status == PhotoAuthorizationStatus::limited;
}
