#include "Pellmar/library/engine/Devices.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/CardFiles.h"
#include "Pellmar/platform/VolumeEjector.h"
#include "Pellmar/platform/VolumeService.h"

#include <QCoroFuture>
#include <QDir>

#include <algorithm>

namespace {

bool isListed(const Library& library, const QString& path)
{
    return std::any_of(library.devices().cbegin(), library.devices().cend(),
                       [&path](const Device& device) { return device.url == path; });
}

// Lists a device's media files and keeps them while the device is still listed.
QCoro::Task<> listDeviceFiles(Library& library, Device device, Priority priority)
{
    const AliveGuard alive(&library);
    const QList<CardFile> files =
        co_await alive(library.pools().run(priority, [root = device.url] { return scanCard(root); }));
    // A card ejected meanwhile gets no listing back.
    if (!isListed(library, device.url))
        co_return;
    QHash<QString, QList<CardFile>> all = library.deviceFiles();
    all.insert(device.url, files);
    library.setDeviceFiles(all);
}

} // namespace

QList<Device> deviceList(const QList<MountedVolume>& volumes, const QList<Source>& sources)
{
    QStringList roots;
    for (const Source& source : sources) {
        if (source.kind == SourceKind::folder)
            roots.append(source.rootPath);
    }
    QList<Device> devices;
    for (const MountedVolume& volume : volumes) {
        const QString path = QDir::cleanPath(volume.url);
        if (path == QLatin1String("/") || !volume.local || !(volume.removable || volume.ejectable))
            continue;
        // A drive that is indexed itself, or holds an indexed folder, is a source, not a device.
        if (std::any_of(roots.cbegin(), roots.cend(), [&path](const QString& root) {
                return root == path || root.startsWith(path + QLatin1Char('/'));
            }))
            continue;
        devices.append(Device{path, volume.name.isEmpty() ? mountFolderName(path) : volume.name, volume.capacity,
                              volume.available});
    }
    return devices;
}

void Library::refreshDevices()
{
    setDevices(deviceList(volumes_->mounted(), sources_));

    QHash<QString, QList<CardFile>> files = deviceFiles_;
    files.removeIf([this](const auto& entry) { return !isListed(*this, entry.key()); });
    setDeviceFiles(files);

    if (selectedDevice_ && !isListed(*this, *selectedDevice_)) {
        setSelectedDevice(std::nullopt);
        setSelectedCardFile(std::nullopt);
        setSelectedCards({});
    }

    const QList<Device> listed = devices_;
    for (const Device& device : listed) {
        if (!deviceFiles_.contains(device.url))
            Tasks::start(listDeviceFiles(*this, device, Priority::utility));
    }
}

QCoro::Task<> Library::relistCardFiles(Device device)
{
    return listDeviceFiles(*this, std::move(device), Priority::userInitiated);
}

QCoro::Task<> Library::ejectDevice(Device device)
{
    const AliveGuard alive(this);
    const std::optional<QString> failure = co_await alive(ejector_->eject(device.url));
    if (failure)
        setLastError(QStringLiteral("Could not eject %1. %2").arg(device.name, *failure));
    refreshDevices();
}
