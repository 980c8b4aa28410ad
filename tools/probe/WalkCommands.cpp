#include "tools/probe/Probe.h"

#include "Pellmar/media/ScanningRules.h"
#include "Pellmar/media/Walkers.h"

#include <QByteArray>
#include <QDir>

#include <cstdio>

namespace {

// walk ROOT [--rel PATH] [--shallow] [--count]: one line per file record (relative path, size, modified,
// local, tab-separated), then the count; folders that could not be read go to the error stream.
// With --count, only the count: the files are handed on in runs, as a scan's walk does, and dropped
// (the walk alone, for benchmarks).
const ProbeCommand walkCommand(
    QStringLiteral("walk"), QStringLiteral("ROOT [--rel PATH] [--shallow] [--count]"), [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty())
            return probeUsage(walkCommand, io);
        Source source;
        source.rootPath = QDir::cleanPath(QDir::current().absoluteFilePath(args[0]));
        QString relativePath;
        ScanOptions options;
        qint64 handedOn = 0;
        for (qsizetype i = 1; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--count"))
                options.filesReady = [&handedOn](FileBatch&& files) { handedOn += files.size(); };
            else if (args[i] == QLatin1String("--shallow"))
                options.deep = false;
            else if (args[i] == QLatin1String("--rel") && i + 1 < args.size())
                relativePath = args[++i];
            else
                return probeUsage(walkCommand, io);
        }

        const ScanResult result = scanSource(source, relativePath, options);
        // Written as UTF-8 in large blocks: a text stream's per-field conversions would cost more than the walk.
        io.out.flush();
        QByteArray lines;
        const auto writeLines = [&lines] {
            std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
            lines.truncate(0);
        };
        for (const FileRecord& record : result.files) {
            lines += record.relativePath.toUtf8();
            lines += '\t';
            lines += QByteArray::number(record.size);
            lines += '\t';
            lines += QByteArray::number(record.modified, 'f', 3);
            lines += record.local ? "\ttrue\n" : "\tfalse\n";
            if (lines.size() >= 1 << 16)
                writeLines();
        }
        writeLines();
        std::fflush(stdout);
        io.out << (options.filesReady ? handedOn : qint64(result.files.size())) << " files" << Qt::endl;
        for (const QString& folder : result.gaps.unlistedFolders)
            io.err << "unreadable: " << (folder.isEmpty() ? QStringLiteral("(root)") : folder) << '\n';
        if (result.gaps.rootVanished)
            io.err << "root missing" << '\n';
        io.err.flush();
        return result.gaps.rootVanished ? 1 : 0;
    });

// volume PATH: the UUID and the name of the volume that holds PATH, tab-separated.
const ProbeCommand volumeCommand(
    QStringLiteral("volume"), QStringLiteral("PATH"), [](const QStringList& args, ProbeIo& io) {
        if (args.size() != 1)
            return probeUsage(volumeCommand, io);
        const VolumeIdentity identity = volumeIdentity(QDir::current().absoluteFilePath(args[0]));
        io.out << identity.uuid << '\t' << identity.name << Qt::endl;
        return 0;
    });

} // namespace
