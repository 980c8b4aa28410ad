#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

// The names of the files a worker is reading now, in the order it began them. Its threads add and
// remove names; the status ticker reads them on the GUI thread.
class FilesInFlight {
public:
    void add(const QString& name)
    {
        std::lock_guard locker(lock_);
        names_.append(name);
    }
    void remove(const QString& name)
    {
        std::lock_guard locker(lock_);
        names_.removeOne(name);
    }
    QStringList names(qsizetype limit) const
    {
        std::lock_guard locker(lock_);
        return names_.mid(0, limit);
    }

private:
    mutable std::mutex lock_;
    QStringList names_;
};
