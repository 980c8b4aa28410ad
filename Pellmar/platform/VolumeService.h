#pragma once

#include "Pellmar/platform/Volumes.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <thread>

// The volumes as last read, for every question about mounts, and a notice when they change.
// Readers on any thread get the stored list and never wait for a mount. The base class keeps the
// list it is given and announces nothing on its own: tests set volumes and emit its signal.
class VolumeService : public QObject, public Volumes {
    Q_OBJECT
public:
    explicit VolumeService(QList<MountedVolume> volumes = {}, QObject* parent = nullptr);

    QList<MountedVolume> mounted() const override;
    std::optional<MountedVolume> volumeOf(const QString& path) const override;
    // Every volume, hidden ones included.
    QList<MountedVolume> all() const;

    // Replaces the volumes, then announces the change.
    void setVolumes(const QList<MountedVolume>& volumes);

Q_SIGNALS:
    // Emitted on the thread that changed the volumes: connect with the default connection, which
    // queues it to the receiver's thread.
    void volumesChanged();

private:
    mutable QMutex lock_;
    QList<MountedVolume> volumes_;
};

// The machine's volumes. The mount table and the facts of each device are read at construction;
// a thread of its own then reads the free space of each volume and, at each change of the mount
// table (several within ~300 ms count as one), reads everything again and announces it.
class SystemVolumeService final : public VolumeService {
    Q_OBJECT
public:
    // `systemRoot` is where run/udev, sys and dev are found (tests lay them out in a folder).
    explicit SystemVolumeService(const QString& mountTable = QStringLiteral("/proc/self/mountinfo"),
                                 const QString& systemRoot = QStringLiteral("/"), QObject* parent = nullptr);
    ~SystemVolumeService() override;

private:
    void watch();
    void refresh();
    // Until the mount table has been quiet for the coalescing interval; false when told to stop.
    bool waitForQuiet();

    QString mountTable_;
    QString systemRoot_;
    int mountInfo_ = -1;
    int stop_ = -1;   // an eventfd that wakes the watching thread for good
    std::thread thread_;
};
