#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>

// Files that a cloud drive keeps in sync and may hold only as a placeholder on this computer.
// Calls may touch the disk: run them off the GUI thread.
class CloudFiles {
public:
    enum class Status { current, downloaded, notDownloaded };

    // A refusal of the cloud service; the caller words the message for the user.
    struct Refused : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    virtual ~CloudFiles() = default;

    // Whether a cloud drive keeps the file in sync.
    virtual bool isCloudItem(const QString& path) const = 0;
    // The file's download state; nothing when it is no cloud item or its state cannot be read.
    virtual std::optional<Status> status(const QString& path) const = 0;
    // Asks for the file to be fetched; throws Refused.
    virtual void startDownloading(const QString& path) = 0;
    // Removes the local copy and keeps the one in the cloud; throws Refused.
    virtual void evict(const QString& path) = 0;
};

// This computer has no cloud drive. A placeholder copied from another computer (".NAME.icloud"
// next to where NAME would be) is a file that is not downloaded; every other file is no cloud
// item. Downloading and removing downloads are refused.
std::shared_ptr<CloudFiles> noCloudDrive();
