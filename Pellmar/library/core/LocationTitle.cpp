#include "Pellmar/library/Library.h"

#include <algorithm>

QString Library::locationTitle() const
{
    if (favoritesOnly_)
        return QStringLiteral("Favorites");
    if (notBackedUp_)
        return QStringLiteral("Not backed up");
    const auto source = std::find_if(sources_.cbegin(), sources_.cend(), [this](const Source& entry) {
        return sourceFilter_ && entry.id == *sourceFilter_;
    });
    if (source == sources_.cend())
        return {};
    QStringList parts{source->name};
    if (smartFilter_)
        parts.append(smartGroupLabel(*smartFilter_));
    else
        parts.append(pathFilter_.split(u'/', Qt::SkipEmptyParts));
    return parts.join(QStringLiteral(" > "));
}
