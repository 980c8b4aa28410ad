#pragma once

#include "Pellmar/platform/CloudFiles.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/platform/SharePicker.h"
#include "Pellmar/platform/VolumeEjector.h"

#include <QHash>
#include <QPromise>
#include <QStringList>

#include <functional>

// Records what the Library hands to the desktop; `apps` answers the application lookups.
struct FakeDesktop final : Desktop {
    void open(const QString& path) override { calls.append(QStringLiteral("open ") + path); }
    void openWith(const QString& path, const QString& appID) override
    {
        calls.append(QStringLiteral("open ") + path + QStringLiteral(" with ") + appID);
    }
    DesktopApps applications(const QString& mimeType) override
    {
        lookups.append(mimeType);
        return apps.value(mimeType);
    }
    void reveal(const QString& path) override { calls.append(QStringLiteral("reveal ") + path); }
    void revealFolder(const QString& path) override { calls.append(QStringLiteral("reveal folder ") + path); }
    void copyText(const QString& text) override { calls.append(QStringLiteral("copy text ") + text); }
    void copyObjects(const QStringList& filePaths, const QList<QImage>& images) override
    {
        calls.append(QStringLiteral("copy files ") + filePaths.join(u',') + QStringLiteral(" images ") +
                     QString::number(images.size()));
    }

    QStringList calls;
    QStringList lookups;
    QHash<QString, DesktopApps> apps;
};

// A cloud drive whose answers tests set: `statuses` in turn (the last one repeats; none: no status),
// and whether it refuses.
struct FakeCloud final : CloudFiles {
    bool isCloudItem(const QString& path) const override { return cloudItems.contains(path); }
    std::optional<Status> status(const QString&) const override
    {
        ++statusReads;
        if (statuses.isEmpty())
            return std::nullopt;
        return statuses.size() == 1 ? statuses.first() : statuses.takeFirst();
    }
    void startDownloading(const QString& path) override
    {
        if (refuse)
            throw Refused("refused");
        requests.append(QStringLiteral("download ") + path);
    }
    void evict(const QString& path) override
    {
        if (refuse)
            throw Refused("refused");
        requests.append(QStringLiteral("evict ") + path);
    }

    QStringList cloudItems;
    mutable QList<std::optional<Status>> statuses;
    mutable int statusReads = 0;
    bool refuse = false;
    QStringList requests;
};

// Records each share menu asked for: the files, and where ("pointer" or the rectangle).
struct FakeSharePicker final : SharePicker {
    QObject* show(const QStringList& filePaths, std::optional<QRect> screenRect) override
    {
        const QRect at = screenRect.value_or(QRect());
        shown.append(filePaths.join(u',') + QStringLiteral(" at ") +
                     (screenRect ? QStringLiteral("%1,%2").arg(at.x()).arg(at.y()) : QStringLiteral("pointer")));
        return nullptr;
    }

    QStringList shown;
};

// Records the mount points it is asked to eject and answers each at once with `refusal` (nothing:
// success, after `unmount` was called to take the volume away).
struct FakeEjector final : VolumeEjector {
    QFuture<std::optional<QString>> eject(const QString& mountPoint) override
    {
        ejected.append(mountPoint);
        if (!refusal && unmount)
            unmount(mountPoint);
        QPromise<std::optional<QString>> promise;
        promise.start();
        promise.addResult(refusal);
        promise.finish();
        return promise.future();
    }

    QStringList ejected;
    std::optional<QString> refusal;
    std::function<void(const QString&)> unmount;
};
