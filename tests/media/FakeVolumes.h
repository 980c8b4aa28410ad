#pragma once

#include "Pellmar/platform/Volumes.h"

// A fixed volume list; the volume of a path is the one with the longest mount path that holds it.
class FakeVolumes : public Volumes {
public:
    explicit FakeVolumes(QList<MountedVolume> volumes) : volumes_(std::move(volumes)) {}

    QList<MountedVolume> mounted() const override { return volumes_; }

    std::optional<MountedVolume> volumeOf(const QString& path) const override
    {
        std::optional<MountedVolume> best;
        for (const MountedVolume& volume : volumes_) {
            const bool holds = volume.url == QLatin1String("/") || path == volume.url
                || path.startsWith(volume.url + QLatin1Char('/'));
            if (holds && (!best || volume.url.size() > best->url.size()))
                best = volume;
        }
        return best;
    }

private:
    QList<MountedVolume> volumes_;
};
