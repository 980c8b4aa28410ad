#include "tools/probe/Probe.h"

#include "Pellmar/index/Index.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosIndexing.h"
#include "Pellmar/media/PhotosPreviews.h"
#include "Pellmar/media/PhotosReading.h"

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
    source.addedAt = currentDate();
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

struct ItemLine {
    QString filename;
    QString proxyExtension;
    QString posterExtension;
    QString fullError;
};

QList<ItemLine> itemLines(Index& index, const QString& sourceID)
{
    Statement rows(index.database().db(),
                   QStringLiteral("SELECT filename, proxy_ext, poster_ext, full_error FROM items WHERE id IN "
                                  "(SELECT item_id FROM files WHERE source_id = ?) ORDER BY filename, id"));
    rows.bind({sourceID});
    QList<ItemLine> lines;
    while (rows.step())
        lines.append({rows.text(0), rows.text(1), rows.text(2), rows.text(3)});
    return lines;
}

// The folder at `path`, made when it is missing; opening the index there reports a failure.
QString madeFolder(const QString& path)
{
    QDir().mkpath(path);
    return path;
}

// What both commands work on: the index in SUPPORT_DIR with its photo library source, the preview
// folder beside it, and the library (LIBRARY, else the program's own).
struct PhotosProbe {
    explicit PhotosProbe(const QStringList& args)
        : support(QDir::current().absoluteFilePath(args[0])),
          previews(madeFolder(support.filePath(QStringLiteral("Proxies")))),
          library(args.size() == 2 ? QDir::current().absoluteFilePath(args[1]) : defaultPhotosLibraryPath()),
          index(support.filePath(QStringLiteral("index.sqlite")))
    {
        waitFor(index.run([](Index& ix) { return ix.migrate(); }));
        source = waitFor(index.run([path = library.path()](Index& ix) { return photosSource(ix, path); }));
    }

    const QDir support;
    const QString previews;
    const PhotosFolderLibrary library;
    Index index;
    Source source;
};

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
        PhotosProbe probe(args);
        Index& index = probe.index;
        const Source& source = probe.source;

        // A library that cannot be read lists nothing; that must not read as every asset deleted.
        Index::WalkGaps gaps;
        const qint64 failedReads = probe.library.readFailures().count;
        gaps.rootVanished = !probe.library.isReadable();
        QList<FileRecord> records = gaps.rootVanished ? QList<FileRecord>() : listPhotosAssets(probe.library);
        // A read that failed part way leaves the listing short: nothing of it counts.
        if (probe.library.readFailures().count != failedReads) {
            records.clear();
            gaps.rootVanished = true;
        }
        const qint64 written = waitFor(index.run([records, gaps, id = source.id](Index& ix) {
            return ix.syncFiles(records, id, gaps);
        }));
        if (gaps.rootVanished)
            io.out << "the library cannot be read; its indexed files are kept\n";
        io.out << "listed " << records.size() << " records, rows written " << written << '\n';

        // A file that stays pending after its job (its failure could not be stored) is not taken again.
        QSet<qint64> indexed;
        for (;;) {
            QList<Job> jobs = waitFor(index.run([id = source.id](Index& ix) { return ix.pendingFiles(24, {id}); }));
            jobs.removeIf([&](const Job& job) { return indexed.contains(job.fileID); });
            if (jobs.isEmpty())
                break;
            for (const Job& job : jobs) {
                identifyPhotosFile(job, source, index, probe.previews, probe.library);
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

// photos-previews SUPPORT_DIR [LIBRARY]: makes the larger previews of the photo library items that
// photos-index left waiting, as the full-preview worker does, into SUPPORT_DIR/Proxies, and prints
// each item of the source (tab-separated: file name, proxy extension, poster extension, error).
const ProbeCommand photosPreviewsCommand(
    QStringLiteral("photos-previews"), QStringLiteral("SUPPORT_DIR [LIBRARY]"), [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty() || args.size() > 2)
            return probeUsage(photosPreviewsCommand, io);
        PhotosProbe probe(args);
        Index& index = probe.index;
        const Source& source = probe.source;

        QSet<QString> built;
        for (;;) {
            QList<FullJob> jobs =
                waitFor(index.run([id = source.id](Index& ix) { return ix.fullPreviewQueue(4, {id}); }));
            jobs.removeIf([&](const FullJob& job) { return built.contains(job.itemID); });
            if (jobs.isEmpty())
                break;
            for (const FullJob& job : jobs) {
                buildPhotosFullPreview(job, index, probe.previews, probe.library);
                built.insert(job.itemID);
            }
        }

        for (const ItemLine& line : waitFor(index.run([id = source.id](Index& ix) { return itemLines(ix, id); })))
            io.out << line.filename << '\t' << line.proxyExtension << '\t' << line.posterExtension << '\t'
                   << line.fullError << '\n';
        io.out << built.size() << " items built" << Qt::endl;
        return 0;
    });

} // namespace
