#include "Pellmar/media/PartialOutput.h"

#include "Pellmar/index/Database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// When this run of the program started: a temporary older than that was left by a run that died,
// and no export of this run is still writing it.
const qint64 runStarted = QDateTime::currentMSecsSinceEpoch();

[[noreturn]] void failWithErrno()
{
    throw DatabaseError(QString::fromLocal8Bit(std::strerror(errno)));
}

void syncPath(const QString& path, int flags)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | flags);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    const int error = errno;
    if (descriptor >= 0)
        ::close(descriptor);
    errno = error;
    if (!synced)
        failWithErrno();
}

} // namespace

void removeLeftoverTemporaries(const QString& folder, const QRegularExpression& temporaryName)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        if (temporaryName.match(entry.fileName()).hasMatch() && entry.lastModified().toMSecsSinceEpoch() < runStarted)
            QFile::remove(entry.filePath());
    }
}

PartialOutput::PartialOutput(const QString& output)
    : output_(output)
{
    const QFileInfo target(output);
    static const QRegularExpression partialName(QStringLiteral("^\\..+\\.[0-9a-f]{8}\\.partial$"));
    removeLeftoverTemporaries(target.absolutePath(), partialName);
    for (int attempt = 0; attempt < 100 && path_.isEmpty(); ++attempt) {
        const QString candidate = target.dir().filePath(
            QStringLiteral(".%1.%2.partial").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int descriptor = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            ::close(descriptor);
            path_ = candidate;
        } else if (errno != EEXIST) {
            failWithErrno();
        }
    }
    if (path_.isEmpty())
        failWithErrno();
}

PartialOutput::~PartialOutput()
{
    if (!committed_)
        QFile::remove(path_);
}

void PartialOutput::commit()
{
    syncPath(path_, 0);
    if (std::rename(QFile::encodeName(path_).constData(), QFile::encodeName(output_).constData()) != 0)
        failWithErrno();
    committed_ = true;
    syncPath(QFileInfo(output_).absolutePath(), O_DIRECTORY);
}
