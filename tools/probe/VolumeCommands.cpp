#include "tools/probe/ProbeLibrary.h"

#include "Pellmar/platform/VolumeService.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / 1'000'000) + QStringLiteral(" MB");
}

// volumes: what the volume service sees, one volume a line, as the relink probe and the device list get it.
const ProbeCommand volumesCommand(QStringLiteral("volumes"), QString(), [](const QStringList& args, ProbeIo& io) {
    if (!args.isEmpty())
        return probeUsage(volumesCommand, io);
    const std::shared_ptr<SystemVolumeService> service = readyVolumeService();
    for (const MountedVolume& volume : service->mounted()) {
        io.out << volume.url << "\tname \"" << volume.name << "\"\ttype " << volume.type << "\tuuid "
               << (volume.uuid.isEmpty() ? QStringLiteral("-") : volume.uuid) << "\tdevice " << volume.device
               << "\tremovable " << yesNo(volume.removable) << "\tejectable " << yesNo(volume.ejectable) << "\tlocal "
               << yesNo(volume.local) << "\tresponding " << yesNo(volume.responding) << "\tcapacity "
               << megabytes(volume.capacity) << "\tavailable " << megabytes(volume.available) << '\n';
    }
    io.out.flush();
    return 0;
});

// devices [SUPPORT_DIR]: the device list of the sidebar, with the number of media files of each
// card; the sources of the index in SUPPORT_DIR leave out the drives they are on.
const ProbeCommand devicesCommand(
    QStringLiteral("devices"), QStringLiteral("[SUPPORT_DIR]"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() > 1)
            return probeUsage(devicesCommand, io);
        QTemporaryDir empty;
        const std::unique_ptr<ProbeLibrary> probe =
            args.isEmpty() ? std::make_unique<ProbeLibrary>(empty.path(), readyVolumeService())
                           : ProbeLibrary::open(args[0], io, readyVolumeService());
        if (!probe)
            return 1;
        Library& library = *probe->library;
        if (!args.isEmpty())
            library.setSources(library.readIndex().run([](Index& index) { return index.sources(); }).result());
        library.refreshDevices();
        ProbeLibrary::finishTasks();
        if (library.devices().isEmpty())
            io.out << "no devices\n";
        for (const Device& device : library.devices()) {
            io.out << device.url << "\tname \"" << device.name << "\"\tcapacity " << megabytes(device.capacity)
                   << "\tavailable " << megabytes(device.available) << "\tmedia files "
                   << library.deviceFiles().value(device.url).size() << '\n';
        }
        io.out.flush();
        return 0;
    });

} // namespace
