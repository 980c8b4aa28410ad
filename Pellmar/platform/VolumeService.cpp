#include "Pellmar/platform/VolumeService.h"

#include "Pellmar/platform/BlockDevices.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Mount events of one plug-in (a card with two partitions, a desktop's automounter) come in a burst.
constexpr int coalescingMilliseconds = 300;
// A volume whose free space is not known by then counts as not responding.
constexpr auto freeSpaceLimit = 2s;

} // namespace

VolumeService::VolumeService(QList<MountedVolume> volumes, QObject* parent)
    : QObject(parent)
    , volumes_(std::move(volumes))
{
}

QList<MountedVolume> VolumeService::mounted() const
{
    QList<MountedVolume> visible = all();
    visible.removeIf([](const MountedVolume& volume) { return volume.hidden; });
    return visible;
}

std::optional<MountedVolume> VolumeService::volumeOf(const QString& path) const
{
    return volumeHolding(all(), path);
}

QList<MountedVolume> VolumeService::all() const
{
    const QMutexLocker locker(&lock_);
    return volumes_;
}

void VolumeService::setVolumes(const QList<MountedVolume>& volumes)
{
    {
        const QMutexLocker locker(&lock_);
        volumes_ = volumes;
    }
    Q_EMIT volumesChanged();
}

SystemVolumeService::SystemVolumeService(const QString& mountTable, const QString& systemRoot, QObject* parent)
    : VolumeService(readVolumes(mountTable, BlockDevices(systemRoot)), parent)
    , mountTable_(mountTable)
    , systemRoot_(systemRoot)
    , mountInfo_(open(QFile::encodeName(mountTable).constData(), O_RDONLY | O_CLOEXEC))
    , stop_(eventfd(0, EFD_CLOEXEC))
{
    if (mountInfo_ < 0 || stop_ < 0) {
        qWarning("cannot watch the mount table: %s", strerror(errno));
        return;
    }
    thread_ = std::thread([this] { watch(); });
}

SystemVolumeService::~SystemVolumeService()
{
    if (thread_.joinable()) {
        const eventfd_t one = 1;
        eventfd_write(stop_, one);
        thread_.join();
    }
    if (mountInfo_ >= 0)
        close(mountInfo_);
    if (stop_ >= 0)
        close(stop_);
}

void SystemVolumeService::refresh()
{
    QList<MountedVolume> volumes = readVolumes(mountTable_, BlockDevices(systemRoot_));
    readFreeSpace(volumes, freeSpaceLimit);
    setVolumes(volumes);
}

bool SystemVolumeService::waitForQuiet()
{
    pollfd fds[2] = {{mountInfo_, POLLPRI, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        const int ready = poll(fds, 2, coalescingMilliseconds);
        if (ready < 0 && errno != EINTR)
            return false;
        if (fds[1].revents != 0)
            return false;
        if (ready == 0)
            return true;
    }
}

void SystemVolumeService::watch()
{
    refresh();
    // The kernel flags the mount table file with POLLPRI (and POLLERR) each time a mount or an
    // unmount changes it; poll() itself consumes the event.
    pollfd fds[2] = {{mountInfo_, POLLPRI, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            qWarning("watching the mount table failed: %s", strerror(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & (POLLPRI | POLLERR)) && waitForQuiet())
            refresh();
    }
}
