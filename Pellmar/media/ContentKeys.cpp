#include "Pellmar/media/ContentKeys.h"

#include "Pellmar/index/Hashing.h"
#include "Pellmar/media/ScanningRules.h"

#include <algorithm>

namespace {

// The tail of the item keyed by the quick hash itself: kept with one of its files, or read now from
// one that is reachable.
std::optional<QString> baseTail(const QList<Index::ContentCopy>& copies, const QString& quickHash,
                                const QHash<QString, Source>& sources, Index& index)
{
    for (const Index::ContentCopy& copy : copies) {
        if (copy.itemKey == quickHash && copy.tailHash)
            return copy.tailHash;
    }
    for (const Index::ContentCopy& copy : copies) {
        const auto source = sources.constFind(copy.sourceID);
        if (copy.itemKey != quickHash || !copy.local || !copy.assetID.isEmpty() || source == sources.constEnd()
            || source->kind != SourceKind::folder || !isSourceAvailable(*source))
            continue;
        try {
            const QString tail = tailHash(source->rootPath + QLatin1Char('/') + copy.relativePath, copy.size);
            waitFor(index.run([=](Index& ix) { ix.setTailHash(copy.fileID, quickHash, tail); }));
            return tail;
        } catch (const std::exception&) {
            // That copy cannot be read now (or its tail not kept); the next one may.
        }
    }
    return std::nullopt;
}

} // namespace

ContentKey contentKeyOf(const QString& path, qint64 size, const QString& quickHash,
                        const QHash<QString, Source>& sources, Index& index, Index& lookup)
{
    if (!outgrowsQuickHash(size))
        return ContentKey{.key = quickHash};
    const QList<Index::ContentCopy> copies = waitFor(lookup.run([quickHash](Index& ix) { return ix.contentCopies(quickHash); }));
    if (copies.isEmpty())
        return ContentKey{.key = quickHash, .tailUnchecked = true};

    const QString tail = tailHash(path, size);
    const QString extended = quickHash + tail;
    const auto holds = [&](const QString& key) {
        return std::any_of(copies.begin(), copies.end(), [&](const Index::ContentCopy& copy) { return copy.itemKey == key; });
    };
    if (holds(extended))
        return ContentKey{.key = extended, .tailHash = tail};
    // Without an item of the quick hash itself, or one whose tail cannot be had, the quick hash decides.
    const std::optional<QString> standing = holds(quickHash) ? baseTail(copies, quickHash, sources, index) : std::nullopt;
    return ContentKey{.key = standing && *standing != tail ? extended : quickHash, .tailHash = tail};
}
