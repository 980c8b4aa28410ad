#include "tools/probe/ProbeLibrary.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QDateTime>

namespace {

// The index's sources as the library holds them, then one search with the given state.
QCoro::Task<> searchOnce(Library& library, QString text, std::optional<QString> source, std::optional<MediaKind> kind)
{
    QFuture<QList<Source>> sources = library.readIndex().run([](Index& index) { return index.sources(); });
    library.setSources(co_await sources);
    library.setQuery(text);
    library.setSourceFilter(source);
    library.setKindFilter(kind);
    co_await library.search();
}

QString dateText(const std::optional<double>& seconds)
{
    if (!seconds)
        return QStringLiteral("-");
    return QDateTime::fromMSecsSinceEpoch(qint64(*seconds * 1000), Qt::UTC).toString(Qt::ISODate);
}

const ProbeCommand searchCommand(
    QStringLiteral("search"), QStringLiteral("SUPPORT_DIR TEXT [--source ID] [--kind photo|video|audio|document]"),
    [](const QStringList& args, ProbeIo& io) {
        if (args.size() < 2 || args[0].startsWith(QLatin1String("--")))
            return probeUsage(searchCommand, io);
        std::optional<QString> source;
        std::optional<MediaKind> kind;
        for (qsizetype i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size())
                return probeUsage(searchCommand, io);
            if (args[i] == QLatin1String("--source")) {
                source = args[i + 1];
            } else if (args[i] == QLatin1String("--kind")) {
                kind = mediaKindNamed(args[i + 1]);
                if (!kind)
                    return probeUsage(searchCommand, io);
            } else {
                return probeUsage(searchCommand, io);
            }
        }
        const std::unique_ptr<ProbeLibrary> probe = ProbeLibrary::open(args[0], io);
        if (!probe)
            return 1;
        Library& library = *probe->library;
        QCoro::waitFor(searchOnce(library, args[1], source, kind));
        if (library.lastError()) {
            io.err << "search failed: " << *library.lastError() << Qt::endl;
            return 1;
        }

        for (const Item& item : library.items())
            io.out << item.id << '\t' << item.filename << '\t' << library.copies().value(item.id) << " copies\n";
        const LocationSummary& summary = library.summary();
        io.out << "items " << library.items().size() << '\n'
               << "summary photos " << summary.photos << " videos " << summary.videos << " audio " << summary.audio
               << " documents " << summary.documents << " size " << summary.size << " document size "
               << summary.documentSize << " not local " << summary.notLocal << " only here " << summary.onlyHere
               << " earliest " << dateText(summary.earliest) << " latest " << dateText(summary.latest) << '\n'
               << "in scope " << library.allCount() << " favorites " << library.favoriteCount() << " photo favorites "
               << library.photoFavorites().size() << " not backed up " << library.notBackedUpCount() << '\n'
               << "hero";
        for (const Item& item : library.heroItems())
            io.out << ' ' << item.id;
        io.out << Qt::endl;
        return 0;
    });

} // namespace
