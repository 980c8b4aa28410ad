#include "Pellmar/platform/FileManager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

void openWithDefaultApplication(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace

void askFileManager(const QDBusConnection& bus, FileManagerRequest request, const QString& path,
                    std::function<void(const QString& folder)> openFolder)
{
    const QString cleaned = QDir::cleanPath(path);
    const QString folder = request == FileManagerRequest::showItem ? QFileInfo(cleaned).absolutePath() : cleaned;
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"),
        request == FileManagerRequest::showItem ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"));
    call << QStringList{QUrl::fromLocalFile(cleaned).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [openFolder = std::move(openFolder), folder](QDBusPendingCallWatcher* done) {
                         if (done->isError())
                             openFolder(folder);
                         done->deleteLater();
                     });
}

void showInFileManager(const QString& path)
{
    askFileManager(QDBusConnection::sessionBus(), FileManagerRequest::showItem, path, openWithDefaultApplication);
}

void showFolderInFileManager(const QString& path)
{
    askFileManager(QDBusConnection::sessionBus(), FileManagerRequest::showFolder, path, openWithDefaultApplication);
}
