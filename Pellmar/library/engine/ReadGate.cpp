#include "Pellmar/library/engine/ReadGate.h"

#include <QFile>

#include <sys/stat.h>

namespace ReadGate {

Gate& shared()
{
    // Never destroyed: a worker thread may still hold or wait for it while the process exits.
    static Gate* const gate = new Gate;
    return *gate;
}

bool isGated(std::optional<qint64> size)
{
    return size && *size > ungatedMaximum;
}

std::optional<qint64> sizeOf(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return qint64(status.st_size);
}

std::optional<Gate::Pass> passFor(std::optional<qint64> size)
{
    if (!isGated(size))
        return std::nullopt;
    return shared().acquire();
}

std::optional<Gate::Pass> passFor(const QString& path)
{
    return passFor(sizeOf(path));
}

} // namespace ReadGate
