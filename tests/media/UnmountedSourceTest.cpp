#include "Pellmar/index/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Exit codes of the child below: the kernel refused a namespace (the test is skipped), or a later step failed.
constexpr int refusedNamespace = 10;
constexpr int failedStep = 20;

// What the child needs, made before fork(): after it, only system calls run.
struct Script {
    QByteArray mountPoint;
    QList<QByteArray> files;   // created on the mounted file system
    QByteArray uidMap;
    QByteArray gidMap;
    QByteArray probe = QUORVIN_PROBE;
    QList<QByteArray> syncArguments;
    QByteArray firstOutput;
    QByteArray secondOutput;
    bool lazyUnmount = false;
    QByteArray remountSource;   // when given, another file system mounted on the folder before the second sync
};

bool writeAll(const char* path, const QByteArray& bytes)
{
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (fd >= 0)
        close(fd);
    return ok;
}

bool runProbe(const Script& script, char* const* argv, const QByteArray& output)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(output.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0)
            _exit(127);
        execve(script.probe.constData(), argv, environ);
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status);
}

// In a mount namespace of its own: mount a small file system, put files on it, sync it into the
// index with the probe, unmount it (leaving the empty mount folder) and sync again.
[[noreturn]] void runScript(const Script& script, char* const* argv)
{
    bool userNamespace = unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
    if (!userNamespace && unshare(CLONE_NEWNS) != 0)
        _exit(refusedNamespace);
    if (userNamespace
        && (!writeAll("/proc/self/setgroups", "deny") || !writeAll("/proc/self/uid_map", script.uidMap)
            || !writeAll("/proc/self/gid_map", script.gidMap)))
        _exit(refusedNamespace);
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount("quorvin-card", script.mountPoint.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        _exit(refusedNamespace);
    for (const QByteArray& file : script.files) {
        const int fd = open(file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || write(fd, "photo", 5) != 5)
            _exit(failedStep);
        close(fd);
    }
    if (!runProbe(script, argv, script.firstOutput))
        _exit(failedStep + 1);
    if ((script.lazyUnmount ? umount2(script.mountPoint.constData(), MNT_DETACH) : umount(script.mountPoint.constData())) != 0)
        _exit(failedStep + 2);
    if (!script.remountSource.isEmpty()
        && mount(script.remountSource.constData(), script.mountPoint.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        _exit(failedStep + 4);
    if (!runProbe(script, argv, script.secondOutput))
        _exit(failedStep + 3);
    _exit(0);
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A volume whose UUID cannot be read (tmpfs here, as a network share or a machine without udev)
// that is unmounted leaves its empty mount folder, or makes room for another such volume of the same
// folder name: a sync of it must keep every row. So must a sync
// of a source that holds the drive's mount folder, in a later run that has only the index to
// remember that a drive was mounted there.
TEST(UnmountedSource, SyncOfTheEmptyMountFolderDeletesNothing)
{
    const struct {
        const char* situation;
        bool lazy;
        bool inside;   // the drive is mounted on a folder of the source, not on its root
        const char* secondSays;
        const char* remount = "";   // another volume without a UUID, of the same folder name
    } cases[] = {
        {"unmount", false, false, "is unavailable"},
        {"lazy unmount", true, false, "is unavailable"},
        {"unmount of a drive inside the source", false, true, "unreadable, kept: card"},
        {"another volume mounted on the same folder", false, false, "is unavailable", "quorvin-other-card"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        QTemporaryDir dir;
        const QString root = c.inside ? dir.filePath(QStringLiteral("source")) : dir.path();
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/card")));
        if (c.inside) {
            QFile photo(root + QStringLiteral("/kept.jpg"));
            ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
        }
        const QString database = dir.filePath(QStringLiteral("index.sqlite"));

        Script script;
        script.mountPoint = QFile::encodeName(root + QStringLiteral("/card"));
        for (const char* name : {"/a.jpg", "/b.jpg", "/c.mov"})
            script.files.append(script.mountPoint + name);
        script.uidMap = "0 " + QByteArray::number(getuid()) + " 1";
        script.gidMap = "0 " + QByteArray::number(getgid()) + " 1";
        script.syncArguments = {script.probe, "sync", QFile::encodeName(database),
                                c.inside ? QFile::encodeName(root) : script.mountPoint};
        script.firstOutput = QFile::encodeName(dir.filePath(QStringLiteral("first.txt")));
        script.secondOutput = QFile::encodeName(dir.filePath(QStringLiteral("second.txt")));
        script.lazyUnmount = c.lazy;
        script.remountSource = c.remount;
        std::vector<char*> argv;
        for (QByteArray& argument : script.syncArguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        const pid_t child = fork();
        if (child == 0)
            runScript(script, argv.data());
        ASSERT_GT(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == refusedNamespace)
            GTEST_SKIP() << "the kernel refuses a mount namespace here";
        ASSERT_EQ(WEXITSTATUS(status), 0) << readText(dir.filePath(QStringLiteral("first.txt"))).toStdString();

        const qint64 files = c.inside ? 4 : 3;
        EXPECT_TRUE(readText(dir.filePath(QStringLiteral("first.txt"))).contains(QStringLiteral("added %1,").arg(files)));
        const QString second = readText(dir.filePath(QStringLiteral("second.txt")));
        EXPECT_TRUE(second.contains(QLatin1String(c.secondSays))) << second.toStdString();
        Database db(database);
        Statement count(db.db(), QStringLiteral("SELECT COUNT(*) FROM files"));
        ASSERT_TRUE(count.step());
        EXPECT_EQ(count.int64(0), files);
    }
}

} // namespace
