#include "Pellmar/platform/VolumeEjector.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServer>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;

const QString root = QStringLiteral("/org/freedesktop/UDisks2");
const QString sdb1 = root + QStringLiteral("/block_devices/sdb1");
const QString sdb2 = root + QStringLiteral("/block_devices/sdb2");
const QString reader = root + QStringLiteral("/drives/Card_Reader");

// A partition of the card reader's drive, mounted where `mountPoint` says (nowhere when empty).
InterfaceProperties partition(const QString& mountPoint)
{
    QByteArrayList points;
    if (!mountPoint.isEmpty())
        points.append(QFile::encodeName(mountPoint) + '\0');
    return {{QStringLiteral("org.freedesktop.UDisks2.Block"),
             {{QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(reader))}}},
            {QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
             {{QStringLiteral("MountPoints"), QVariant::fromValue(points)}}}};
}

// The UDisks2 objects of a machine with one card reader, answering every call it records.
class FakeUDisks final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == QLatin1String("GetManagedObjects")) {
            connection.send(message.createReply(QVariant::fromValue(objects)));
            return true;
        }
        calls.append(message.member() + u' ' + message.path());
        if (message.member() == QLatin1String("Unmount") && unmountRefusal)
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"),
                                                     *unmountRefusal));
        else
            connection.send(message.createReply());
        return true;
    }

    ManagedObjects objects;
    QStringList calls;
    std::optional<QString> unmountRefusal;
};

// A private bus to a fake system that serves UDisks2 when asked to.
class FakeSystemBus {
public:
    explicit FakeSystemBus(FakeUDisks* udisks)
    {
        qDBusRegisterMetaType<QByteArrayList>();
        qDBusRegisterMetaType<InterfaceProperties>();
        qDBusRegisterMetaType<ManagedObjects>();
        QObject::connect(&server_, &QDBusServer::newConnection, [udisks, this](QDBusConnection connection) {
            if (udisks)
                connection.registerVirtualObject(root, udisks, QDBusConnection::SubPath);
            served_ = true;
        });
        client_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToPeer(server_.address(), name_));
        EXPECT_TRUE(QTest::qWaitFor([this] { return served_; }, 5000));
    }
    ~FakeSystemBus() { QDBusConnection::disconnectFromPeer(name_); }

    const QDBusConnection& bus() const { return *client_; }

private:
    // Each bus is a connection of its own name: a name in use would give back the earlier connection.
    inline static int made = 0;
    const QString name_ = QStringLiteral("fake-system-%1").arg(++made);
    QTemporaryDir dir_;
    QDBusServer server_{QStringLiteral("unix:dir=") + dir_.path()};
    bool served_ = false;
    std::unique_ptr<QDBusConnection> client_;
};

// An umount stand-in that writes its argument to a file, then says `message` on standard error and
// ends with `status`.
QString umountScript(const QTemporaryDir& dir, int status, const QString& message = {})
{
    const QString path = dir.filePath(QStringLiteral("umount"));
    QFile script(path);
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\necho '%2' >&2\nexit %3\n")
                     .arg(dir.filePath(QStringLiteral("unmounted")), message)
                     .arg(status)
                     .toUtf8());
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

std::optional<QString> ejected(VolumeEjector& ejector, const QString& mountPoint)
{
    QFuture<std::optional<QString>> future = ejector.eject(mountPoint);
    EXPECT_FALSE(future.isFinished());   // the answer always comes from the event loop
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10000));
    return future.resultCount() == 1 ? future.result() : QStringLiteral("no result");
}

TEST(VolumeEjector, UnmountsThroughUDisksThenPowersTheDriveOffWhenNothingElseOfItIsMounted)
{
    const QString card = QStringLiteral("/media/u/EOS DIGITAL");
    struct Case {
        const char* what;
        bool canPowerOff;
        QString otherPartition;   // where the drive's second partition is mounted
        std::optional<QString> refusal;
        QStringList calls;
        std::optional<QString> failure;
    };
    const Case cases[] = {
        {"a card in a reader that can power off", true, {}, std::nullopt,
         {"Unmount " + sdb1, "PowerOff " + reader}, std::nullopt},
        {"a drive that cannot power off", false, {}, std::nullopt, {"Unmount " + sdb1}, std::nullopt},
        {"a drive with a second partition still mounted", true, QStringLiteral("/media/u/OTHER"), std::nullopt,
         {"Unmount " + sdb1}, std::nullopt},
        {"a busy card", true, {}, QStringLiteral("Error unmounting /dev/sdb1: target is busy"),
         {"Unmount " + sdb1}, QStringLiteral("Error unmounting /dev/sdb1: target is busy")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeUDisks udisks;
        udisks.objects = {
            {QDBusObjectPath(sdb1), partition(card)},
            {QDBusObjectPath(sdb2), partition(c.otherPartition)},
            {QDBusObjectPath(reader),
             {{QStringLiteral("org.freedesktop.UDisks2.Drive"), {{QStringLiteral("CanPowerOff"), c.canPowerOff}}}}},
        };
        udisks.unmountRefusal = c.refusal;
        FakeSystemBus system(&udisks);
        QTemporaryDir dir;
        UDisksEjector ejector(system.bus(), umountScript(dir, 0));
        EXPECT_EQ(ejected(ejector, card), c.failure);
        EXPECT_EQ(udisks.calls, c.calls);
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("unmounted"))));
    }
}

TEST(VolumeEjector, WithoutUDisksOrForAMountItDoesNotKnowUmountIsRunAndItsComplaintIsTheReason)
{
    QTemporaryDir dir;
    const QString unmounted = dir.filePath(QStringLiteral("unmounted"));
    const QString stick = QStringLiteral("/mnt/stick");

    FakeUDisks udisks;   // knows only a card elsewhere
    udisks.objects = {{QDBusObjectPath(sdb1), partition(QStringLiteral("/media/u/CARD"))}};
    FakeSystemBus withUDisks(&udisks);
    UDisksEjector unknownMount(withUDisks.bus(), umountScript(dir, 0));
    EXPECT_EQ(ejected(unknownMount, stick), std::nullopt);
    EXPECT_TRUE(udisks.calls.isEmpty());
    QFile written(unmounted);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "/mnt/stick\n");

    FakeSystemBus withoutUDisks(nullptr);
    UDisksEjector noService(withoutUDisks.bus(), umountScript(dir, 32, QStringLiteral("umount: /mnt/stick: target is busy.")));
    EXPECT_EQ(ejected(noService, stick), QStringLiteral("umount: /mnt/stick: target is busy."));

    UDisksEjector noBus(QDBusConnection(QStringLiteral("never connected")), dir.filePath(QStringLiteral("missing")));
    const std::optional<QString> failure = ejected(noBus, stick);
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->isEmpty());
}

} // namespace
