#include "Pellmar/platform/VolumeEjector.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QPromise>
#include <QVariantMap>

#include <functional>

namespace {

const QString service = QStringLiteral("org.freedesktop.UDisks2");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");

// Unmounting flushes what is still written to the card, which a slow card takes minutes for.
constexpr int unmountTimeoutMs = 10 * 60 * 1000;

using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;

// One eject in progress; its steps hand it on until one of them ends it.
struct EjectRun {
    QDBusConnection bus;
    QString mountPoint;
    QString umountProgram;
    QPromise<std::optional<QString>> promise;

    void finish(std::optional<QString> failure)
    {
        promise.addResult(std::move(failure));
        promise.finish();
    }
};
using Run = std::shared_ptr<EjectRun>;

// Calls `then` with the reply on this thread once it arrives.
void whenAnswered(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs,
                  std::function<void(const QDBusMessage&)> then)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [then = std::move(then)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         then(done->reply());
                     });
}

QDBusMessage udisksCall(const QString& path, const QString& interface, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call << QVariantMap();   // no options: the user may be asked to authorize
    return call;
}

QStringList mountPoints(const InterfaceProperties& interfaces)
{
    const QVariant value = interfaces.value(filesystemInterface).value(QStringLiteral("MountPoints"));
    QByteArrayList raw;
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        raw = qdbus_cast<QByteArrayList>(value);
    else
        raw = value.value<QByteArrayList>();
    QStringList points;
    for (QByteArray point : raw) {
        // Each mount point is a C string: its last byte is a zero.
        if (point.endsWith('\0'))
            point.chop(1);
        points.append(QFile::decodeName(point));
    }
    return points;
}

QString driveOf(const InterfaceProperties& interfaces)
{
    return interfaces.value(blockInterface).value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
}

void runUmount(const Run& run)
{
    auto* process = new QProcess;
    process->setProgram(run->umountProgram);
    process->setArguments({run->mountPoint});
    QObject::connect(process, &QProcess::finished, process, [run, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status == QProcess::NormalExit && code == 0)
            return run->finish(std::nullopt);
        const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        run->finish(!said.isEmpty() ? said
                                    : QStringLiteral("%1 ended with status %2.").arg(process->program()).arg(code));
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [run, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;   // a crash also ends in finished()
        process->deleteLater();
        run->finish(process->errorString());
    });
    process->start();
}

void powerOff(const Run& run, const QString& drive)
{
    whenAnswered(run->bus, udisksCall(drive, driveInterface, QStringLiteral("PowerOff")), -1,
                 [run](const QDBusMessage& reply) {
                     // The volume is unmounted and safe to unplug, whether or not the drive is off.
                     if (reply.type() == QDBusMessage::ErrorMessage)
                         qInfo().noquote() << "the drive of" << run->mountPoint
                                           << "was not powered off:" << reply.errorMessage();
                     run->finish(std::nullopt);
                 });
}

void unmount(const Run& run, const ManagedObjects& objects)
{
    QString filesystem;
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        if (mountPoints(object.value()).contains(run->mountPoint)) {
            filesystem = object.key().path();
            break;
        }
    }
    if (filesystem.isEmpty())
        return runUmount(run);   // a mount UDisks2 does not manage

    // The drive is powered off only when nothing else of it stays mounted.
    const QString drive = driveOf(objects.value(QDBusObjectPath(filesystem)));
    bool canPowerOff = drive.size() > 1 &&
                       objects.value(QDBusObjectPath(drive)).value(driveInterface).value(QStringLiteral("CanPowerOff")).toBool();
    for (auto object = objects.cbegin(); canPowerOff && object != objects.cend(); ++object) {
        if (object.key().path() != filesystem && driveOf(object.value()) == drive &&
            !mountPoints(object.value()).isEmpty())
            canPowerOff = false;
    }

    whenAnswered(run->bus, udisksCall(filesystem, filesystemInterface, QStringLiteral("Unmount")), unmountTimeoutMs,
                 [run, drive, canPowerOff](const QDBusMessage& reply) {
                     if (reply.type() == QDBusMessage::ErrorMessage)
                         return run->finish(reply.errorMessage());
                     if (canPowerOff)
                         return powerOff(run, drive);
                     run->finish(std::nullopt);
                 });
}

} // namespace

UDisksEjector::UDisksEjector(std::optional<QDBusConnection> bus, QString umountProgram)
    : bus_(std::move(bus))
    , umountProgram_(std::move(umountProgram))
{
}

QFuture<std::optional<QString>> UDisksEjector::eject(const QString& mountPoint)
{
    if (!bus_)
        bus_ = QDBusConnection::systemBus();
    auto run = std::make_shared<EjectRun>(EjectRun{*bus_, mountPoint, umountProgram_, {}});
    run->promise.start();
    QFuture<std::optional<QString>> future = run->promise.future();
    if (!bus_->isConnected()) {
        runUmount(run);
        return future;
    }
    const QDBusMessage list = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/UDisks2"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
        QStringLiteral("GetManagedObjects"));
    whenAnswered(*bus_, list, -1, [run](const QDBusMessage& reply) {
        // No UDisks2 on this system, or none that answers: the mount table is asked directly.
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
            return runUmount(run);
        unmount(run, qdbus_cast<ManagedObjects>(reply.arguments().first()));
    });
    return future;
}

std::shared_ptr<VolumeEjector> systemVolumeEjector()
{
    return std::make_shared<UDisksEjector>();
}
