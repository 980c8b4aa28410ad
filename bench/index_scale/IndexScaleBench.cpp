// Times every index operation that the running application repeats, on a synthetic index of a
// given size. Usage: index_scale_bench [benchmark flags] BASE FILES
// BASE is generated with FILES file rows when it does not exist; the benchmarks run on a copy of
// it, so that write operations never change the cached file. Each benchmark reports the median
// and the 95th percentile of its single calls ("median_ms", "p95_ms").

#include "bench/index_scale/SyntheticIndex.h"

#include "Pellmar/index/Index.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void reportPercentiles(benchmark::State& state, std::vector<double> seconds)
{
    if (seconds.empty())
        return;
    std::sort(seconds.begin(), seconds.end());
    const auto at = [&](double quantile) {
        return seconds[std::min(seconds.size() - 1, size_t(quantile * double(seconds.size())))] * 1000.0;
    };
    state.counters["median_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
    state.counters["samples"] = double(seconds.size());
}

// Times `operation(input)` once per iteration; `prepare` makes its input and `undo` takes its
// writes back, both outside the measured time.
template <typename Prepare, typename Operation, typename Undo>
void measure(benchmark::State& state, Prepare prepare, Operation operation, Undo undo)
{
    std::vector<double> samples;
    for (auto _ : state) {
        auto input = prepare();
        const Clock::time_point start = Clock::now();
        operation(input);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        samples.push_back(elapsed);
        undo(input);
    }
    reportPercentiles(state, std::move(samples));
}

template <typename Operation>
void measure(benchmark::State& state, Operation operation)
{
    measure(
        state, [] { return 0; }, [&](int) { benchmark::DoNotOptimize(operation()); }, [](int) {});
}

QStringList texts(Database& db, const QString& sql)
{
    Statement rows(db.db(), sql);
    QStringList values;
    while (rows.step())
        values.append(rows.text(0));
    return values;
}

// A file waiting to be indexed, with the content it is about to be linked to.
struct NewFile {
    qint64 fileID = 0;
    Item item;
};

// The shared state of all benchmarks: the writer and the read-only index on the working copy,
// and rows picked from it once.
class Bench {
public:
    explicit Bench(const QString& path)
        : writer_(path)
        , reader_(path, Index::Access::readOnly)
    {
        Database& db = writer_.database();
        const QStringList pending =
            texts(db, QStringLiteral("SELECT id FROM files WHERE state = 0 AND item_id IS NULL ORDER BY id LIMIT 5000"));
        for (const QString& id : pending)
            pendingFileIDs_.push_back(id.toLongLong());
        // Items with one file, so that joining them makes a second copy.
        knownHashes_ = texts(db, QStringLiteral("SELECT quick_hash FROM items WHERE id IN (SELECT item_id FROM files "
                                                "WHERE state = 2 GROUP BY item_id HAVING COUNT(*) = 1 LIMIT 5000)"));
        itemIDs_ = texts(db, QStringLiteral("SELECT id FROM items ORDER BY rowid LIMIT 5000"));
        for (const Source& source : writer_.sources())
            sources_.insert(source.id, source);
        sourceIDs_ = sources_.keys();
        const QString drive = QString::fromLatin1(SyntheticIndex::driveSourceID);
        Statement records(db.db(), QStringLiteral("SELECT rel_path, size, mtime, asset_id, local, favorite, subtype, raw "
                                                  "FROM files WHERE source_id = ?"));
        records.bind({drive});
        while (records.step())
            driveRecords_.append(FileRecord{records.text(0), records.int64(1), records.real(2), records.text(3),
                                            records.boolean(4), records.boolean(5), records.int64(6), records.boolean(7)});
    }

    Index& writer() { return writer_; }
    Index& reader() { return reader_; }
    const QStringList& sourceIDs() const { return sourceIDs_; }
    const Source& source(const char* id) const { return sources_.find(QString::fromLatin1(id)).value(); }
    const QList<FileRecord>& driveRecords() const { return driveRecords_; }
    QString knownHash() { return knownHashes_[size_t(next_++) % size_t(knownHashes_.size())]; }
    QString someItemID() { return itemIDs_[size_t(next_++) % size_t(itemIDs_.size())]; }

    // A pending file and a content no item has yet.
    NewFile newFile()
    {
        const qint64 serial = next_++;
        NewFile file;
        file.fileID = pendingFileIDs_[size_t(serial) % pendingFileIDs_.size()];
        file.item.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        file.item.quickHash = QStringLiteral("%1").arg(quint64(serial), 64, 16, QLatin1Char('f'));
        file.item.kind = MediaKind::photo;
        file.item.filename = QStringLiteral("NEW_%1.JPG").arg(serial);
        file.item.capturedAt = 1700000000.0 + double(serial);
        file.item.width = 4032;
        file.item.height = 3024;
        file.item.camera = QStringLiteral("Canon EOS R5");
        file.item.uti = QStringLiteral("image/jpeg");
        return file;
    }

    // A pending file whose content an item already has: a second copy.
    NewFile secondCopy()
    {
        NewFile file = newFile();
        file.item.quickHash = knownHash();
        return file;
    }

    static QString searchText(const Item& item) { return item.filename + QStringLiteral(" Canon EOS R5 2023 November 14 Tuesday"); }

    // Puts the file back to waiting and removes an item that no file names any more.
    void forget(const NewFile& file)
    {
        Database& db = writer_.database();
        db.run(QStringLiteral("UPDATE files SET quick_hash = NULL, item_id = NULL, state = 0, error = NULL WHERE id = ?"),
               {file.fileID});
        db.run(QStringLiteral("DELETE FROM search WHERE rowid IN (SELECT id FROM search_content WHERE c0 = ?)"),
               {file.item.id});
        db.run(QStringLiteral("DELETE FROM items WHERE id = ? AND NOT EXISTS (SELECT 1 FROM files WHERE item_id = ?)"),
               {file.item.id, file.item.id});
    }

    // An item of a content that no file names, as an earlier pass leaves it for a file that was
    // not on this computer then.
    QString orphan()
    {
        NewFile file = newFile();
        file.item.quickHash = QStringLiteral("unhashed:") + file.item.id;
        writer_.linkItem(file.fileID, file.item.quickHash, file.item);
        writer_.setSearchText(file.item.id, searchText(file.item));
        writer_.database().run(QStringLiteral("UPDATE files SET quick_hash = NULL, item_id = NULL, state = 0 WHERE id = ?"),
                               {file.fileID});
        return file.item.quickHash;
    }

private:
    Index writer_;
    Index reader_;
    std::vector<qint64> pendingFileIDs_;
    QStringList knownHashes_;
    QStringList itemIDs_;
    QMap<QString, Source> sources_;
    QStringList sourceIDs_;
    QList<FileRecord> driveRecords_;
    qint64 next_ = 0;
};

using Body = std::function<void(benchmark::State&)>;

void add(const QString& name, Body body, int iterations = 0)
{
    benchmark::internal::Benchmark* registered =
        benchmark::RegisterBenchmark(name.toStdString().c_str(), [body](benchmark::State& state) { body(state); });
    registered->UseManualTime()->Unit(benchmark::kMillisecond);
    if (iterations > 0)
        registered->Iterations(iterations);
    else
        registered->MinTime(1.0);
}

void addWritePath(Bench& bench)
{
    Index& ix = bench.writer();
    add(QStringLiteral("write/pendingFiles 24"), [&](benchmark::State& state) {
        measure(state, [&] { return ix.pendingFiles(24, bench.sourceIDs()); });
    });
    add(QStringLiteral("write/itemByHash known"), [&](benchmark::State& state) {
        measure(state, [&] { return ix.itemByHash(bench.knownHash()); });
    });
    add(QStringLiteral("write/itemByHash new"), [&](benchmark::State& state) {
        measure(state, [&] { return ix.itemByHash(bench.newFile().item.quickHash); });
    });
    add(QStringLiteral("write/linkItem new item"), [&](benchmark::State& state) {
        measure(
            state, [&] { return bench.newFile(); },
            [&](const NewFile& file) { ix.linkItem(file.fileID, file.item.quickHash, file.item); },
            [&](const NewFile& file) { bench.forget(file); });
    });
    add(QStringLiteral("write/linkItem second copy"), [&](benchmark::State& state) {
        measure(
            state,
            [&] { return bench.secondCopy(); },
            [&](const NewFile& file) { ix.linkItem(file.fileID, file.item.quickHash, file.item); },
            [&](const NewFile& file) { bench.forget(file); });
    });
    add(QStringLiteral("write/dropOrphanItem none"), [&](benchmark::State& state) {
        measure(state, [&] {
            ix.dropOrphanItem(QStringLiteral("unhashed:") + bench.newFile().item.id);
            return 0;
        });
    });
    add(QStringLiteral("write/dropOrphanItem orphan"), [&](benchmark::State& state) {
        measure(
            state, [&] { return bench.orphan(); }, [&](const QString& hash) { ix.dropOrphanItem(hash); },
            [](const QString&) {});
    });
    add(QStringLiteral("write/setSearchText"), [&](benchmark::State& state) {
        measure(state, [&] {
            const QString itemID = bench.someItemID();
            ix.setSearchText(itemID, itemID + QStringLiteral(" IMG_0000001.JPG Canon EOS R5 2019 March 3 Sunday Wedding"));
            return 0;
        });
    });
    add(QStringLiteral("write/markPreviewed"), [&](benchmark::State& state) {
        measure(
            state,
            [&] {
                NewFile file = bench.newFile();
                ix.linkItem(file.fileID, file.item.quickHash, file.item);
                return file;
            },
            [&](const NewFile& file) { ix.markPreviewed(file.fileID, file.item.id, QStringLiteral("jpg"), QString()); },
            [&](const NewFile& file) { bench.forget(file); });
    });
    add(QStringLiteral("write/setFileState failed"), [&](benchmark::State& state) {
        measure(
            state, [&] { return bench.newFile(); },
            [&](const NewFile& file) { ix.setFileState(file.fileID, QStringLiteral("unreadable image"), FileState::failed); },
            [&](const NewFile& file) { bench.forget(file); });
    });
    // The writes of one local file, as the quick-index worker makes them one after the other.
    const auto wholePath = [&](const NewFile& file) {
        const std::optional<Item> known = ix.itemByHash(file.item.quickHash);
        const QString itemID = ix.linkItem(file.fileID, file.item.quickHash, known.value_or(file.item));
        ix.dropOrphanItem(QStringLiteral("unhashed:") + file.item.id);
        ix.setSearchText(itemID, Bench::searchText(file.item));
        ix.markPreviewed(file.fileID, itemID, QStringLiteral("jpg"), QString());
    };
    add(QStringLiteral("write/whole file, new content"), [&, wholePath](benchmark::State& state) {
        measure(state, [&] { return bench.newFile(); }, wholePath, [&](const NewFile& file) { bench.forget(file); });
    });
    add(QStringLiteral("write/whole file, second copy"), [&, wholePath](benchmark::State& state) {
        measure(
            state,
            [&] { return bench.secondCopy(); },
            wholePath, [&](const NewFile& file) { bench.forget(file); });
    });
    add(
        QStringLiteral("scan/syncFiles unchanged drive"),
        [&](benchmark::State& state) {
            state.counters["files"] = double(bench.driveRecords().size());
            measure(state, [&] {
                return ix.syncFiles(bench.driveRecords(), QString::fromLatin1(SyntheticIndex::driveSourceID), {});
            });
        },
        5);
}

struct GridShape {
    QString name;
    QString searchText;
    ViewFilter filter;
};

template <typename Set>
ViewFilter viewFilter(Set set)
{
    ViewFilter filter;
    set(filter);
    return filter;
}

QList<GridShape> gridShapes()
{
    const QString home = QString::fromLatin1(SyntheticIndex::homeSourceID);
    const QString drive = QString::fromLatin1(SyntheticIndex::driveSourceID);
    const QString photos = QString::fromLatin1(SyntheticIndex::photosSourceID);
    const QString folder = SyntheticIndex::sampleFolder();
    const QString year = folder.section(u'/', 0, 0);
    QList<GridShape> shapes{
        {QStringLiteral("everything"), {}, {}},
        {QStringLiteral("source home"), {}, viewFilter([&](ViewFilter& f) { f.source = home; })},
        {QStringLiteral("source drive"), {}, viewFilter([&](ViewFilter& f) { f.source = drive; })},
        {QStringLiteral("source photos"), {}, viewFilter([&](ViewFilter& f) { f.source = photos; })},
        {QStringLiteral("folder year"), {}, viewFilter([&](ViewFilter& f) { f.source = home; f.path = year; })},
        {QStringLiteral("folder leaf"), {}, viewFilter([&](ViewFilter& f) { f.source = home; f.path = folder; })},
        {QStringLiteral("folder leaf only here"), {}, viewFilter([&](ViewFilter& f) { f.source = home; f.path = folder; f.onlyHere = true; })},
        {QStringLiteral("source drive only here"), {}, viewFilter([&](ViewFilter& f) { f.source = drive; f.onlyHere = true; })},
        {QStringLiteral("word"), SyntheticIndex::sampleWord(), {}},
        {QStringLiteral("prefix"), SyntheticIndex::sampleWord().left(3), {}},
        {QStringLiteral("two words"), SyntheticIndex::sampleWord() + QStringLiteral(" 2019"), {}},
        {QStringLiteral("rare word"), QStringLiteral("0012345"), {}},
        {QStringLiteral("word in source"), SyntheticIndex::sampleWord(), viewFilter([&](ViewFilter& f) { f.source = home; })},
        {QStringLiteral("not backed up"), {}, viewFilter([&](ViewFilter& f) { f.notBackedUp = true; })},
        {QStringLiteral("not backed up in source"), {}, viewFilter([&](ViewFilter& f) { f.source = drive; f.notBackedUp = true; })},
        {QStringLiteral("videos"), {}, viewFilter([&](ViewFilter& f) { f.kind = MediaKind::video; })},
        {QStringLiteral("favorites"), {}, viewFilter([&](ViewFilter& f) { f.favoritesWorkspace = Index::everythingWorkspaceID; })},
        {QStringLiteral("workspace scope"), {}, viewFilter([&](ViewFilter& f) { f.scope = SyntheticIndex::workspaceMembers(); })},
        {QStringLiteral("workspace favorites"),
         {},
         viewFilter([&](ViewFilter& f) { f.favoritesWorkspace = QString::fromLatin1(SyntheticIndex::workspaceID); f.scope = SyntheticIndex::workspaceMembers(); })},
    };
    for (const SmartFilter smart : allSmartFilters)
        shapes.append({QStringLiteral("smart ") + rawValue(smart), {}, viewFilter([&](ViewFilter& f) {
                           f.source = photos;
                           f.smart = smart;
                       })});
    return shapes;
}

QString sortName(SortField sort, bool ascending)
{
    return rawValue(sort) + (ascending ? QStringLiteral(" asc") : QStringLiteral(" desc"));
}

void addGrid(Bench& bench)
{
    Index& ix = bench.reader();
    // The shapes a user reaches most often get every sort; the others the default one.
    const QStringList everySort{QStringLiteral("everything"), QStringLiteral("source home"), QStringLiteral("word")};
    for (const GridShape& shape : gridShapes()) {
        for (const SortField sort : allSortFields) {
            for (const bool ascending : {false, true}) {
                const bool defaultSort = sort == SortField::captured && !ascending;
                if (!defaultSort && !everySort.contains(shape.name))
                    continue;
                add(QStringLiteral("grid/%1/%2").arg(shape.name, sortName(sort, ascending)),
                    [&ix, shape, sort, ascending](benchmark::State& state) {
                        measure(state, [&] { return ix.items(shape.searchText, shape.filter, sort, ascending, 500); });
                    });
            }
        }
    }
}

void addPanel(Bench& bench)
{
    Index& ix = bench.reader();
    const QStringList members = SyntheticIndex::workspaceMembers();
    const QString custom = QString::fromLatin1(SyntheticIndex::workspaceID);
    for (const GridShape& shape : gridShapes()) {
        if (!shape.searchText.isEmpty() || shape.filter.onlyHere || shape.filter.smart)
            continue;
        add(QStringLiteral("panel/summary %1").arg(shape.name), [&ix, shape](benchmark::State& state) {
            measure(state, [&] { return ix.summary(shape.filter); });
        });
        add(QStringLiteral("panel/heroItems %1").arg(shape.name), [&ix, shape](benchmark::State& state) {
            measure(state, [&] { return ix.heroItems(shape.filter); });
        });
    }
    add(QStringLiteral("panel/countScope workspace"), [&ix, members](benchmark::State& state) {
        measure(state, [&] { return ix.countScope(members); });
    });
    // A workspace of two year folders, on two sources: the folders' files read one by one.
    const QStringList yearFolders{
        QString::fromLatin1(SyntheticIndex::homeSourceID) + QLatin1Char('|') + SyntheticIndex::sampleFolder().section(u'/', 0, 0),
        QString::fromLatin1(SyntheticIndex::driveSourceID) + QLatin1Char('|') + SyntheticIndex::sampleFolder().section(u'/', 0, 0)};
    add(QStringLiteral("panel/summary year folders scope"), [&ix, yearFolders](benchmark::State& state) {
        measure(state, [&] { return ix.summary(ViewFilter{.scope = yearFolders}); });
    });
    add(QStringLiteral("panel/countScope year folders"), [&ix, yearFolders](benchmark::State& state) {
        measure(state, [&] { return ix.countScope(yearFolders); });
    });
    const QStringList everySource{QString::fromLatin1(SyntheticIndex::homeSourceID), QString::fromLatin1(SyntheticIndex::driveSourceID),
                                  QString::fromLatin1(SyntheticIndex::photosSourceID)};
    add(QStringLiteral("panel/countScope every source"), [&ix, everySource](benchmark::State& state) {
        measure(state, [&] { return ix.countScope(everySource); });
    });
    add(QStringLiteral("panel/countNotBackedUp everything"), [&ix](benchmark::State& state) {
        measure(state, [&] { return ix.countNotBackedUp(std::nullopt); });
    });
    add(QStringLiteral("panel/countNotBackedUp workspace"), [&ix, members](benchmark::State& state) {
        measure(state, [&] { return ix.countNotBackedUp(members); });
    });
    add(QStringLiteral("panel/countFavorites everything"), [&ix](benchmark::State& state) {
        measure(state, [&] { return ix.countFavorites(Index::everythingWorkspaceID, std::nullopt); });
    });
    add(QStringLiteral("panel/countFavorites workspace"), [&ix, members, custom](benchmark::State& state) {
        measure(state, [&] { return ix.countFavorites(custom, members); });
    });
    add(QStringLiteral("panel/favoriteIDs workspace"), [&ix, custom](benchmark::State& state) {
        measure(state, [&] { return ix.favoriteIDs(custom); });
    });
    add(QStringLiteral("panel/photoFavoriteIDs"), [&ix](benchmark::State& state) {
        measure(state, [&] { return ix.photoFavoriteIDs(); });
    });
    QStringList page;
    for (const Item& item : ix.items({}, {}, SortField::captured, false, 500))
        page.append(item.id);
    add(QStringLiteral("panel/copyCounts grid page"), [&ix, page](benchmark::State& state) {
        measure(state, [&] { return ix.copyCounts(page); });
    });
    add(QStringLiteral("panel/locations grid page"), [&ix, page](benchmark::State& state) {
        measure(state, [&] { return ix.locations(page); });
    });
}

void addStatus(Bench& bench)
{
    Index& ix = bench.reader();
    add(QStringLiteral("status/stateCounts"), [&ix](benchmark::State& state) { measure(state, [&] { return ix.stateCounts(); }); });
    add(QStringLiteral("status/fullPreviewProgress"),
        [&ix](benchmark::State& state) { measure(state, [&] { return ix.fullPreviewProgress(); }); });
    add(QStringLiteral("status/inFlightFiles 4"),
        [&ix](benchmark::State& state) { measure(state, [&] { return ix.inFlightFiles(4); }); });
    add(QStringLiteral("status/progressBySource"),
        [&ix](benchmark::State& state) { measure(state, [&] { return ix.progressBySource(); }); });
    add(QStringLiteral("status/recentFailures 50"),
        [&ix](benchmark::State& state) { measure(state, [&] { return ix.recentFailures(50); }); });
    add(QStringLiteral("status/countItems"), [&ix](benchmark::State& state) { measure(state, [&] { return ix.countItems(); }); });
    add(QStringLiteral("queue/fullPreviewQueue 4"), [&](benchmark::State& state) {
        measure(state, [&] { return bench.writer().fullPreviewQueue(4, bench.sourceIDs()); });
    });
    for (const char* id : {SyntheticIndex::homeSourceID, SyntheticIndex::driveSourceID, SyntheticIndex::photosSourceID}) {
        const Source source = bench.source(id);
        add(
            QStringLiteral("tree/sourceTree %1").arg(source.name),
            [&ix, source](benchmark::State& state) { measure(state, [&] { return ix.sourceTree(source).children.size(); }); },
            5);
    }
}

// A fresh copy of the base file, with its write-ahead log and shared memory left behind.
QString workingCopy(const QString& base)
{
    const QString copy = base + QStringLiteral(".work");
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(copy + QString::fromLatin1(suffix));
    if (!QFile::copy(base, copy))
        qFatal("cannot copy %s", qPrintable(base));
    return copy;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s [benchmark flags] BASE FILES\n", argv[0]);
        return 2;
    }
    const QString base = args[1];
    const qint64 files = args[2].toLongLong();
    QElapsedTimer timer;
    if (!QFileInfo::exists(base)) {
        timer.start();
        SyntheticIndex::generate(base, files);
        std::fprintf(stderr, "generated %lld files in %.1f s\n", files, double(timer.elapsed()) / 1000.0);
    }

    const QString path = workingCopy(base);
    timer.start();
    Index(path).migrate();
    std::fprintf(stderr, "migrated the copy in %.1f s\n", double(timer.elapsed()) / 1000.0);
    auto bench = std::make_unique<Bench>(path);
    addWritePath(*bench);
    addGrid(*bench);
    addPanel(*bench);
    addStatus(*bench);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QString::fromLatin1(suffix));
    return 0;
}
