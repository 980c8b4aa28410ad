#include "Pellmar/platform/MountMonitor.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

MountTableMonitor::MountTableMonitor(const QString& mountTable, QObject* parent)
    : MountMonitor(parent)
    , mountInfo_(open(QFile::encodeName(mountTable).constData(), O_RDONLY | O_CLOEXEC))
    , stop_(eventfd(0, EFD_CLOEXEC))
{
    if (mountInfo_ < 0 || stop_ < 0) {
        qWarning("cannot watch the mount table: %s", strerror(errno));
        return;
    }
    thread_ = std::thread([this] { watch(); });
}

MountTableMonitor::~MountTableMonitor()
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

void MountTableMonitor::watch()
{
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
        if (fds[0].revents & (POLLPRI | POLLERR))
            Q_EMIT mountsChanged();
    }
}
