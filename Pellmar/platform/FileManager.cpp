#include "Pellmar/platform/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

void showInFileManager(const QString& path)
{
    const QString cleaned = QDir::cleanPath(path);
    const auto openParent = [cleaned] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(cleaned).absolutePath()));
    };
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(cleaned).toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParent();
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [openParent](QDBusPendingCallWatcher* done) {
        if (done->isError())
            openParent();
        done->deleteLater();
    });
}
