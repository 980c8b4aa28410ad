#pragma once

#include <QDBusConnection>
#include <QFuture>
#include <QString>

#include <memory>
#include <optional>

// Ejects a drive or card so that it can be unplugged. GUI thread; no call waits for the drive.
class VolumeEjector {
public:
    virtual ~VolumeEjector() = default;

    // Unmounts the volume mounted at `mountPoint` and, where possible, powers its drive off. The
    // future ends on the calling thread with nothing on success, or the reason the system gave.
    virtual QFuture<std::optional<QString>> eject(const QString& mountPoint) = 0;
};

// Ejects through the UDisks2 service of the system bus: the file system mounted there is unmounted,
// then its drive is powered off when the drive can be and no other file system of it is mounted.
// Where the service does not answer or does not know the volume, `umount` of the mount point is run.
class UDisksEjector final : public VolumeEjector {
public:
    // Without a bus: the system bus, reached at the first eject.
    explicit UDisksEjector(std::optional<QDBusConnection> bus = std::nullopt,
                           QString umountProgram = QStringLiteral("umount"));

    QFuture<std::optional<QString>> eject(const QString& mountPoint) override;

private:
    std::optional<QDBusConnection> bus_;
    QString umountProgram_;
};

std::shared_ptr<VolumeEjector> systemVolumeEjector();
