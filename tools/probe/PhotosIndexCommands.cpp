#include "tools/probe/Probe.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosIndexing.h"
#include "Pellmar/media/PhotosReading.h"

#include <QDateTime>
#include <QDir>
#include <QSet>
#include <QUuid>

namespace {

// The photo library source of the index, stored first when the index has none.
Source photosSource(Index& index, const QString& libraryPath)
{
    for (const Source& source : index.sources()) {
        if (source.kind == SourceKind::photos)
            return source;
    }
    Source source;
    source.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    source.name = QStringLiteral("Apple Photos");
    source.rootPath = libraryPath;
    source.addedAt = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    source.kind = SourceKind::photos;
    index.saveSource(source);
    return source;
}

struct FileLine {
    QString relativePath;
    qint64 state = 0;
    bool local = false;
    QString error;
};

QList<FileLine> fileLines(Index& index, const QString& sourceID)
{
    Statement rows(index.database().db(),
                   QStringLiteral("SELECT rel_path, state, local, error FROM files WHERE source_id = ? ORDER BY rel_path"));
    rows.bind({sourceID});
    QList<FileLine> lines;
    while (rows.step())
        lines.append({rows.text(0), rows.int64(1), rows.boolean(2), rows.text(3)});
    return lines;
}

QString stateName(qint64 state)
{
    static const QStringList names{QStringLiteral("found"), QStringLiteral("identified"), QStringLiteral("ready"),
                                   QStringLiteral("failed"), QStringLiteral("empty")};
    return state >= 0 && state < names.size() ? names[state] : QString::number(state);
}

// photos-index SUPPORT_DIR [LIBRARY]: lists the photo library into its source in SUPPORT_DIR/index.sqlite
// (added on first use), indexes every pending asset as the quick-index worker does, with previews
// in SUPPORT_DIR/Proxies, and prints each file's state (tab-separated: state, relative path, local
// or not, error) and the counts. Without LIBRARY, the program's own library.
const ProbeCommand photosIndexCommand(
    QStringLiteral("photos-index"), QStringLiteral("SUPPORT_DIR [LIBRARY]"), [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty() || args.size() > 2)
            return probeUsage(photosIndexCommand, io);
        const QDir support(QDir::current().absoluteFilePath(args[0]));
        const QString previews = support.filePath(QStringLiteral("Proxies"));
        if (!QDir().mkpath(previews)) {
            io.err << "cannot create " << previews << Qt::endl;
            return 1;
        }
        const QString libraryPath =
            args.size() == 2 ? QDir::current().absoluteFilePath(args[1]) : defaultPhotosLibraryPath();
        const PhotosFolderLibrary library(libraryPath);

        Index index(support.filePath(QStringLiteral("index.sqlite")));
        waitFor(index.run([](Index& ix) { return ix.migrate(); }));
        const Source source = waitFor(index.run([libraryPath](Index& ix) { return photosSource(ix, libraryPath); }));

        // A library that cannot be read lists as empty; that must not read as every asset deleted.
        const QList<FileRecord> records = listPhotosAssets(library);
        const qint64 known = waitFor(index.run([id = source.id](Index& ix) { return qint64(ix.filePaths(id, {}).size()); }));
        if (records.isEmpty() && known > 0) {
            io.out << "the library lists no assets; the " << known << " indexed files are kept\n";
        } else {
            const qint64 written = waitFor(index.run([records, id = source.id](Index& ix) {
                return ix.syncFiles(records, id, {});
            }));
            io.out << "listed " << records.size() << " records, rows written " << written << '\n';
        }

        // A file that stays pending after its job (its failure could not be stored) is not taken again.
        QSet<qint64> indexed;
        for (;;) {
            QList<Job> jobs = waitFor(index.run([id = source.id](Index& ix) { return ix.pendingFiles(24, {id}); }));
            jobs.removeIf([&](const Job& job) { return indexed.contains(job.fileID); });
            if (jobs.isEmpty())
                break;
            for (const Job& job : jobs) {
                identifyPhotosFile(job, source, index, previews, library);
                indexed.insert(job.fileID);
            }
        }

        for (const FileLine& line : waitFor(index.run([id = source.id](Index& ix) { return fileLines(ix, id); })))
            io.out << stateName(line.state) << '\t' << line.relativePath << '\t'
                   << (line.local ? "local" : "not local") << '\t' << line.error << '\n';
        const QueueStatus counts = waitFor(index.run([](Index& ix) { return ix.stateCounts(); }));
        io.out << "found " << counts.found << ", identified " << counts.identified << ", ready " << counts.ready
               << ", failed " << counts.failed << ", empty " << counts.empty << Qt::endl;
        return 0;
    });

} // namespace
