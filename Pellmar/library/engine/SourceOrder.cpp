#include "Pellmar/library/engine/SourceOrder.h"

#include <algorithm>

bool comesBefore(const Source& a, const Source& b)
{
    const int rankA = a.placeRank();
    const int rankB = b.placeRank();
    if (rankA != rankB)
        return rankA < rankB;
    return a.addedAt < b.addedAt;
}

void sortInSourceOrder(QList<Source>& sources)
{
    std::stable_sort(sources.begin(), sources.end(), comesBefore);
}
