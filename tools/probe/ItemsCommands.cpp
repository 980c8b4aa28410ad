#include "tools/probe/Probe.h"

#include "Pellmar/index/Index.h"

#include <QFileInfo>

namespace {

// The grid's page, as the application asks for it.
constexpr qint64 gridLimit = 500;

const ProbeCommand itemsCommand(
    QStringLiteral("items"),
    QStringLiteral("DB [--source ID] [--path P] [--sort name|kind|captured|modified|added] [--asc] [--query TEXT] "
                   "[--kind photo|video|audio|document]"),
    [](const QStringList& args, ProbeIo& io) {
        if (args.isEmpty() || args[0].startsWith(QLatin1String("--")))
            return probeUsage(itemsCommand, io);
        const QString path = args[0];
        ViewFilter filter;
        QString query;
        SortField sort = SortField::captured;
        bool ascending = false;
        for (qsizetype i = 1; i < args.size(); ++i) {
            const QString& option = args[i];
            if (option == QLatin1String("--asc")) {
                ascending = true;
                continue;
            }
            if (i + 1 >= args.size())
                return probeUsage(itemsCommand, io);
            const QString value = args[++i];
            if (option == QLatin1String("--source")) {
                filter.source = value;
            } else if (option == QLatin1String("--path")) {
                filter.path = value;
            } else if (option == QLatin1String("--query")) {
                query = value;
            } else if (option == QLatin1String("--sort")) {
                const std::optional<SortField> field = sortFieldFromRawValue(value);
                if (!field)
                    return probeUsage(itemsCommand, io);
                sort = *field;
            } else if (option == QLatin1String("--kind")) {
                filter.kind = mediaKindNamed(value);
                if (!filter.kind)
                    return probeUsage(itemsCommand, io);
            } else {
                return probeUsage(itemsCommand, io);
            }
        }
        if (!filter.path.isEmpty() && !filter.source) {
            io.err << "--path needs --source" << Qt::endl;
            return 2;
        }
        // Opening a missing file would create an empty index.
        if (!QFileInfo(path).isFile()) {
            io.err << "no index at " << path << Qt::endl;
            return 1;
        }
        Index index(path, Index::Access::readOnly);
        const QList<Item> items =
            waitFor(index.run([=](Index& ix) { return ix.items(query, filter, sort, ascending, gridLimit); }));
        for (const Item& item : items)
            io.out << item.id << '\t' << item.filename << '\n';
        io.out.flush();
        return 0;
    });

} // namespace
