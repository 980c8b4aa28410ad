#pragma once

#include <QObject>
#include <QString>

#include <thread>

// Tells when the mount table changes: a volume was mounted or unmounted. Which volumes are there
// is Volumes' business. The base class never fires on its own; tests emit its signal.
class MountMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    // MountTableMonitor emits it on its watching thread: connect with the default connection, which
    // queues it to the receiver's thread.
    void mountsChanged();
};

// Watches a kernel mount table (by default this process's, "/proc/self/mountinfo") from a thread
// of its own, which waits for the table's change events and stops when the monitor is destroyed.
class MountTableMonitor final : public MountMonitor {
    Q_OBJECT
public:
    explicit MountTableMonitor(const QString& mountTable = QStringLiteral("/proc/self/mountinfo"),
                               QObject* parent = nullptr);
    ~MountTableMonitor() override;

private:
    void watch();

    int mountInfo_ = -1;
    int stop_ = -1;   // an eventfd that wakes the watching thread for good
    std::thread thread_;
};
