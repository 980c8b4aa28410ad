#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/CardFiles.h"

#include <algorithm>

QCoro::Task<> Library::relistCardFiles(Device device)
{
    const AliveGuard alive(this);
    const QList<CardFile> files =
        co_await alive(pools().run(Priority::userInitiated, [root = device.url] { return scanCard(root); }));
    // A card ejected meanwhile gets no listing back.
    if (std::none_of(devices().cbegin(), devices().cend(), [&](const Device& listed) { return listed.url == device.url; }))
        co_return;
    QHash<QString, QList<CardFile>> all = deviceFiles();
    all.insert(device.url, files);
    setDeviceFiles(all);
}
