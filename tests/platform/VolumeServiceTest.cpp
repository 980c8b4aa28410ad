#include "Pellmar/platform/VolumeService.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The watching thread waits in poll(); destroying the service must wake and join it at once.
TEST(SystemVolumeService, StopsItsWatchingThreadWhenDestroyed)
{
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 20; ++round)
        SystemVolumeService service;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A child process in a mount namespace of its own mounts and unmounts a small file system when told,
// so the test never touches this machine's mount table. Each step answers one byte: 1 done, 0 failed.
class MountingChild {
public:
    explicit MountingChild(const QByteArray& mountPoint)
    {
        int commands[2];
        int answers[2];
        if (pipe(commands) != 0 || pipe(answers) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(commands[1]);
            close(answers[0]);
            serve(commands[0], answers[1], mountPoint.constData());
        }
        close(commands[0]);
        close(answers[1]);
        commands_ = commands[1];
        answers_ = answers[0];
    }

    ~MountingChild()
    {
        close(commands_);
        close(answers_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }
    bool ask(char command)
    {
        char answer = 0;
        return write(commands_, &command, 1) == 1 && read(answers_, &answer, 1) == 1 && answer == 1;
    }

private:
    // Runs in the child: only system calls from here on.
    [[noreturn]] static void serve(int commands, int answers, const char* mountPoint)
    {
        // A user namespace lets an unprivileged user mount; root may make the mount namespace alone.
        bool ok = unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 || unshare(CLONE_NEWNS) == 0;
        // Private, so that nothing mounted here shows in the parent's table.
        ok = ok && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        char command = 0;
        while (read(commands, &command, 1) == 1) {
            if (command == 'm')
                ok = ok && mount("quorvin-test", mountPoint, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
            else if (command == 'u')
                ok = ok && umount(mountPoint) == 0;
            const char answer = ok ? 1 : 0;
            if (write(answers, &answer, 1) != 1)
                break;
        }
        _exit(0);
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    int answers_ = -1;
};

bool lists(const VolumeService& service, const QString& path)
{
    const QList<MountedVolume> volumes = service.mounted();
    return std::any_of(volumes.cbegin(), volumes.cend(), [&](const MountedVolume& volume) { return volume.url == path; });
}

TEST(SystemVolumeService, SeesAMountAppearAndDisappear)
{
    QTemporaryDir point;
    MountingChild child(QFile::encodeName(point.path()));
    ASSERT_GT(child.pid(), 0);
    if (!child.ask('s'))
        GTEST_SKIP() << "the kernel refuses a mount namespace to this user here";

    SystemVolumeService service(QStringLiteral("/proc/%1/mountinfo").arg(child.pid()));
    int changes = 0;
    QObject receiver;
    QObject::connect(&service, &VolumeService::volumesChanged, &receiver, [&] { ++changes; });
    // The first reading of free space announces itself too.
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 5000));
    EXPECT_FALSE(lists(service, point.path()));

    if (!child.ask('m'))
        GTEST_SKIP() << "the kernel refuses to mount a memory file system here";
    EXPECT_TRUE(QTest::qWaitFor([&] { return lists(service, point.path()); }, 5000));
    ASSERT_TRUE(child.ask('u'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lists(service, point.path()); }, 5000));
}

} // namespace
