#include "Pellmar/views/toolbar/SearchBarRules.h"

#include "Pellmar/library/Library.h"

#include <array>

namespace {

constexpr std::array allKinds{MediaKind::photo, MediaKind::video, MediaKind::audio, MediaKind::document};

} // namespace

SearchBarState SearchBarState::of(const Library& library)
{
    return {
        .query = library.query(),
        .kindFilter = library.kindFilter(),
        .sort = library.sort(),
        .ascending = library.ascending(),
        .onlyHere = library.onlyHere(),
        .sourceSelected = library.sourceFilter().has_value(),
    };
}

QString sortFieldLabel(SortField field)
{
    switch (field) {
    case SortField::name: return QStringLiteral("Name");
    case SortField::kind: return QStringLiteral("Kind");
    case SortField::captured: return QStringLiteral("Date Captured");
    case SortField::modified: return QStringLiteral("Date Modified");
    case SortField::added: return QStringLiteral("Date Added");
    }
    return {};
}

QString kindLabel(MediaKind kind)
{
    switch (kind) {
    case MediaKind::photo: return QStringLiteral("Photos");
    case MediaKind::video: return QStringLiteral("Videos");
    case MediaKind::audio: return QStringLiteral("Audio");
    case MediaKind::document: return QStringLiteral("Documents");
    }
    return {};
}

SearchBarLook searchBarLook(const SearchBarState& state)
{
    SearchBarLook look;
    look.placeholderShown = state.query.isEmpty();
    look.clearShown = !state.query.isEmpty();
    look.onlyHereChipShown = state.onlyHere && state.sourceSelected;
    look.kindSymbolPrimary = state.kindFilter.has_value();
    look.kindHelp = state.kindFilter ? QStringLiteral("Showing %1").arg(kindLabel(*state.kindFilter)) : QStringLiteral("Showing all kinds");
    look.sortSymbolPrimary = !(state.sort == SortField::captured && !state.ascending);
    look.sortHelp = QStringLiteral("Sorted by %1").arg(sortFieldLabel(state.sort));
    return look;
}

QList<SearchMenuEntry> kindMenu(const SearchBarState& state)
{
    QList<SearchMenuEntry> entries{{QStringLiteral("All Kinds"), !state.kindFilter, false}};
    for (std::size_t i = 0; i < allKinds.size(); ++i)
        entries.append({kindLabel(allKinds[i]), state.kindFilter == allKinds[i], i == 0});
    return entries;
}

QList<SearchMenuEntry> sortMenu(const SearchBarState& state)
{
    QList<SearchMenuEntry> entries;
    for (SortField field : allSortFields)
        entries.append({sortFieldLabel(field), state.sort == field, false});
    entries.append({QStringLiteral("Ascending"), state.ascending, true});
    entries.append({QStringLiteral("Descending"), !state.ascending, false});
    return entries;
}

std::optional<std::optional<MediaKind>> kindAfterChoosing(const SearchBarState& state, int index)
{
    if (index < 0 || index > int(allKinds.size()))
        return std::nullopt;
    const std::optional<MediaKind> chosen = index == 0 ? std::nullopt : std::optional(allKinds[index - 1]);
    if (chosen == state.kindFilter)
        return std::nullopt;
    return chosen;
}

std::optional<SortOrder> sortAfterChoosing(const SearchBarState& state, int index)
{
    const int fields = int(allSortFields.size());
    if (index < 0 || index > fields + 1)
        return std::nullopt;
    SortOrder order{state.sort, state.ascending};
    if (index < fields)
        order.field = allSortFields[index];
    else
        order.ascending = index == fields;
    if (order == SortOrder{state.sort, state.ascending})
        return std::nullopt;
    return order;
}
