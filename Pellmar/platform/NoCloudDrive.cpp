#include "Pellmar/platform/CloudFiles.h"

#include <QFileInfo>

namespace {

class NoCloudDrive final : public CloudFiles {
public:
    bool isCloudItem(const QString&) const override { return false; }

    std::optional<Status> status(const QString& path) const override
    {
        const QFileInfo file(path);
        const QString placeholder = file.path() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".icloud");
        if (!file.exists() && QFileInfo(placeholder).isFile())
            return Status::notDownloaded;
        return std::nullopt;
    }

    void startDownloading(const QString&) override { throw Refused("no cloud drive on this computer"); }
    void evict(const QString&) override { throw Refused("no cloud drive on this computer"); }
};

} // namespace

std::shared_ptr<CloudFiles> noCloudDrive()
{
    return std::make_shared<NoCloudDrive>();
}
