#include "Pellmar/library/engine/CardOrder.h"

#include "Pellmar/index/IndexScope.h"

#include <QFileInfo>

#include <algorithm>

bool cardFileBefore(const CardFile& a, const CardFile& b, SortField sort)
{
    switch (sort) {
    case SortField::name:
        return treeNameLess(QFileInfo(a.url).fileName(), QFileInfo(b.url).fileName());
    case SortField::kind:
        if (a.kind != b.kind)
            return qint64(a.kind) < qint64(b.kind);
        return a.modified < b.modified;
    case SortField::captured:
    case SortField::modified:
    case SortField::added:
        return a.modified < b.modified;
    }
    return false;
}

QList<CardFile> sortedCardFiles(QList<CardFile> files, SortField sort, bool ascending)
{
    std::stable_sort(files.begin(), files.end(),
                     [sort](const CardFile& a, const CardFile& b) { return cardFileBefore(a, b, sort); });
    if (!ascending)
        std::reverse(files.begin(), files.end());
    return files;
}

QList<CardFile> cardFilesMatching(const QList<CardFile>& files, const QString& query)
{
    qsizetype first = 0;
    qsizetype last = query.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (first < last && blank(query[first]))
        ++first;
    while (last > first && blank(query[last - 1]))
        --last;
    const QString needle = query.mid(first, last - first).toLower();
    if (needle.isEmpty())
        return files;
    QList<CardFile> matching;
    for (const CardFile& file : files)
        if (QFileInfo(file.url).fileName().toLower().contains(needle))
            matching.append(file);
    return matching;
}
