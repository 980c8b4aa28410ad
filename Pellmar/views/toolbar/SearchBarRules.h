#pragma once

// What the search bar shows and what its menus do, from the browsing state of the Library.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

#include <optional>

class Library;

struct SearchBarState {
    static SearchBarState of(const Library& library);


    QString query;
    std::optional<MediaKind> kindFilter;
    SortField sort = SortField::captured;
    bool ascending = false;
    bool onlyHere = false;
    bool sourceSelected = false;
};

struct SearchBarLook {
    bool placeholderShown = true;
    bool clearShown = false;
    bool onlyHereChipShown = false;
    // A menu symbol is drawn strong (primary) while its setting differs from the default.
    bool kindSymbolPrimary = false;
    QString kindHelp;
    bool sortSymbolPrimary = false;
    QString sortHelp;
};

SearchBarLook searchBarLook(const SearchBarState& state);

QString sortFieldLabel(SortField field);
QString kindLabel(MediaKind kind);

// One checkable item of a menu; a separator stands before it when `separatorBefore` is set.
struct SearchMenuEntry {
    QString text;
    bool checked = false;
    bool separatorBefore = false;
};

// "All Kinds", then each kind.
QList<SearchMenuEntry> kindMenu(const SearchBarState& state);
// Each sort field, then "Ascending" and "Descending".
QList<SearchMenuEntry> sortMenu(const SearchBarState& state);

// The kind filter to set after choosing entry `index` of kindMenu(); nothing when the choice
// changes nothing (the checked entry). The inner nothing is "All Kinds".
std::optional<std::optional<MediaKind>> kindAfterChoosing(const SearchBarState& state, int index);

struct SortOrder {
    SortField field;
    bool ascending;
    bool operator==(const SortOrder&) const = default;
};
// The order to set after choosing entry `index` of sortMenu(); nothing for the checked entry. A
// new field keeps the direction, a direction keeps the field.
std::optional<SortOrder> sortAfterChoosing(const SearchBarState& state, int index);
