#pragma once

#include <QList>
#include <QString>

#include <optional>

// One mounted file system as the rest of the program sees a volume.
struct MountedVolume {
    QString url;      // the mount path
    QString device;   // what is mounted, as the mount table names it ("/dev/sdb1", "tmpfs")
    QString uuid;     // the file system's UUID; empty when it cannot be read
    QString name;     // the file system's label, else the mount folder's name; never empty
    bool removable = false;

    bool operator==(const MountedVolume&) const = default;
};

// The mounted volumes of the machine. The system implementation reads the mount table with
// libmount and each device's UUID, label and removability with libudev; tests fill in a fake.
class Volumes {
public:
    virtual ~Volumes() = default;

    // Mounted volumes that hold files, in mount-table order; kernel and pseudo file systems are left out.
    virtual QList<MountedVolume> mounted() const = 0;

    // The volume that holds an existing path; nothing when the path cannot be read.
    virtual std::optional<MountedVolume> volumeOf(const QString& path) const = 0;

    // The process's view of the real mount table.
    static const Volumes& system();
};

// The name a volume without a label goes by: its mount folder's name, "/" for the root.
QString mountFolderName(const QString& mountPath);
