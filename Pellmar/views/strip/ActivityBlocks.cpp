#include "Pellmar/views/strip/ActivityBlocks.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/ImportDestinations.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/engine/TimeLeft.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/kit/Formatters.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString number(qint64 value)
{
    return QLocale().toString(value);
}

QString fileCount(qint64 count)
{
    return count == 1 ? QStringLiteral("1 file") : number(count) + QStringLiteral(" files");
}

// "done of total", with ", " and the time left when it can be told.
QString countsText(qint64 done, qint64 total, std::optional<QString> timeLeft)
{
    QString text = number(done) + QStringLiteral(" of ") + number(total);
    if (timeLeft)
        text += QStringLiteral(", ") + *timeLeft;
    return text;
}

QString workingOnText(const QStringList& names)
{
    return names.isEmpty() ? QString() : QStringLiteral("Working on ") + names.join(QStringLiteral(", "));
}

bool sameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

ImportProgressBlock importProgressBlock(const ImportJob& job, double now)
{
    const double elapsed = std::max(now - job.started, 1.0);
    const auto speed = qint64(double(job.bytesDone) / elapsed);
    return {
        .title = QStringLiteral("Importing from %1 to %2").arg(job.device, job.destination),
        .counts = number(job.done) + QStringLiteral(" of ") + number(job.total),
        .progress = progressValue(job.bytesDone, job.bytesTotal),
        .transfer = QStringLiteral("%1 of %2, %3/s")
                        .arg(byteCountText(job.bytesDone), byteCountText(job.bytesTotal), byteCountText(speed)),
        .current = job.current,
    };
}

ImportResultRow importResultRow(const ImportResult& result, const QList<Device>& devices)
{
    ImportResultRow row{.sentence = importResultSentence(result), .intoPhotoLibrary = !result.folder,
                        .folder = result.folder, .ejectLabel = std::nullopt};
    const bool mounted = std::any_of(devices.begin(), devices.end(), [&](const Device& device) {
        return sameFolder(device.url, result.device.url);
    });
    if (mounted)
        row.ejectLabel = QStringLiteral("Eject ") + result.device.name;
    return row;
}

IndexingBlock indexingBlock(const ActivityInputs& in, qint64 pending, qint64 done)
{
    QStringList names;
    for (const Source& source : in.sources) {
        const auto progress = in.sourceProgress.constFind(source.id);
        if (progress != in.sourceProgress.constEnd() && progress->done < progress->total)
            names << source.name;
    }
    const qint64 total = pending + done;
    return {
        .title = QStringLiteral("Indexing ") + names.join(QStringLiteral(", ")),
        .counts = countsText(done, total, timeLeftText(pending, in.rate)),
        .progress = progressValue(done, total),
        .note = QStringLiteral("Reading names, dates and small thumbnails so you can search right away."),
        .workingOn = workingOnText(in.inFlight),
    };
}

PreviewBlock previewBlock(const ActivityInputs& in)
{
    const bool working = in.fullProcessing && !in.fullWaiting;
    const QString away = QStringLiteral("Resumes after two minutes without input, or press Resume.");
    PreviewBlock block;
    if (working) {
        block.title = QStringLiteral("Building previews");
        block.detail = QStringLiteral("Making larger previews so you can browse everything without the drive. "
                                      "Runs in the background while you work.");
    } else if (!in.fullWaiting) {
        block.title = QStringLiteral("Previews paused");
        block.detail = QStringLiteral("Everything is browsable now. Press Resume to finish the larger previews.");
    } else if (in.previewsNever) {
        block.title = QStringLiteral("Previews are off in Settings");
        block.detail = QStringLiteral("Press Resume to build them now.");
    } else if (in.onBattery && in.notOnBattery) {
        block.title = QStringLiteral("Previews paused to save battery");
        block.detail = away;
    } else if (in.isHot) {
        block.title = QStringLiteral("Previews paused while the computer is warm");
        block.detail = away;
    } else {
        block.title = QStringLiteral("Previews will continue when you step away");
        block.detail = away;
    }
    const qint64 left = std::max<qint64>(in.fullStatus.total - in.fullStatus.done, 0);
    block.counts = countsText(in.fullStatus.done, in.fullStatus.total,
                              working ? timeLeftText(left, in.fullRate) : std::nullopt);
    block.progress = progressValue(in.fullStatus.done, in.fullStatus.total);
    block.working = working;
    block.workingOn = workingOnText(in.fullInFlight);
    return block;
}

// Names the sources, in sidebar order, with folders the system refused to watch; nothing when none has.
std::optional<QString> watchNote(const ActivityInputs& in)
{
    QStringList names;
    for (const Source& source : in.sources) {
        if (in.unwatchedSources.contains(source.id))
            names.append(source.name);
    }
    if (names.isEmpty())
        return std::nullopt;
    return QStringLiteral("Some folders of %1 are not watched: the system allows no more folder watches. "
                          "Changes in them show after the next scan.")
        .arg(names.join(QStringLiteral(", ")));
}

ActivityBlock activityBlock(const ActivityInputs& in)
{
    const qint64 pending = in.status.found + in.status.identified;
    const qint64 done = in.status.ready + in.status.failed + in.status.empty;
    if (in.scanning)
        return ScanBlock{
            .title = QStringLiteral("Finding files on ") + *in.scanning,
            .found = number(in.scanFound) + QStringLiteral(" files found"),
            .note = QStringLiteral("Reading folder names and sizes only. Nothing is opened or copied."),
        };
    if (in.processing)
        return indexingBlock(in, pending, done);
    if (pending >= 1)
        return WaitingRow{number(pending) + QStringLiteral(" files waiting to be indexed")};
    const bool someOnline = std::any_of(in.sources.begin(), in.sources.end(),
                                        [&](const Source& source) { return in.online.contains(source.id); });
    if (in.fullProcessing || (in.fullStatus.total - in.fullStatus.done >= 1 && someOnline))
        return previewBlock(in);
    return std::monostate{};
}

} // namespace

ActivityInputs ActivityInputs::of(const Library& library)
{
    const Defaults& defaults = library.defaults();
    const bool onBattery = library.idle().onBattery();
    return {
        .relinkNote = library.relinkNote(),
        .importJob = library.importJob(),
        .importResult = library.importResult(),
        .devices = library.devices(),
        .scanning = library.scanning(),
        .scanFound = library.scanFound(),
        .processing = library.processing(),
        .status = library.status(),
        .sources = library.sources(),
        .sourceProgress = library.sourceProgress(),
        .inFlight = library.inFlight(),
        .rate = library.rate(),
        .fullProcessing = library.fullProcessing(),
        .fullWaiting = library.fullWaiting(),
        .fullStatus = library.fullStatus(),
        .online = library.online(),
        .fullInFlight = library.fullInFlight(),
        .fullRate = library.fullRate(),
        .onBattery = onBattery,
        .isHot = library.idle().isHot(),
        .previewsNever = defaults.string(QStringLiteral("fullPreviews")) == QStringLiteral("never"),
        .notOnBattery = onBattery && defaults.boolean(QStringLiteral("notOnBattery")),
        .now = library.clock().now(),
        .unwatchedSources = library.unwatchedSources(),
    };
}

ProgressValue progressValue(qint64 value, qint64 total)
{
    total = std::max<qint64>(total, 1);
    value = std::clamp<qint64>(value, 0, total);
    constexpr qint64 largest = std::numeric_limits<int>::max();
    if (total <= largest)
        return {int(value), int(total)};
    // Scale both so the total fits; the bar's position stays in proportion.
    const double scale = double(largest) / double(total);
    return {int(std::llround(double(value) * scale)), int(largest)};
}

QString importResultSentence(const ImportResult& result)
{
    QString sentence = result.cancelled ? QStringLiteral("Import stopped. Copied ") : QStringLiteral("Imported ");
    sentence += fileCount(result.count) + QStringLiteral(" to ");
    if (result.album)
        sentence += *result.album + QStringLiteral(" in ") + QString::fromUtf16(photoLibraryLabel);
    else if (result.folder)
        sentence += QFileInfo(QDir::cleanPath(*result.folder)).fileName();
    if (result.deleted >= 1)
        sentence += QStringLiteral(", deleted ") + number(result.deleted) + QStringLiteral(" from ") + result.device.name;
    if (result.kept >= 1)
        sentence += QStringLiteral(", kept ") + number(result.kept) + QStringLiteral(" on ") + result.device.name
            + QStringLiteral(" that changed during the import or could not be deleted");
    return sentence;
}

ActivityBlocks activityBlocks(const ActivityInputs& in)
{
    ActivityBlocks blocks;
    blocks.relinkNote = in.relinkNote;
    blocks.watchNote = watchNote(in);
    if (in.importJob)
        blocks.importProgress = importProgressBlock(*in.importJob, in.now);
    else if (in.importResult)
        blocks.importResult = importResultRow(*in.importResult, in.devices);
    blocks.activity = activityBlock(in);
    return blocks;
}
