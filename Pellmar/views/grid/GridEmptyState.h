#pragma once

// The message the item grid shows while the search result is empty.

#include <QString>

#include <optional>

class Library;

namespace grid {

// What the message depends on, read from the Library.
struct EmptyStateInputs {
    bool favoritesOnly = false;
    bool onlyHere = false;
    bool hasSources = false;
    bool hasSourceFilter = false;
    QString query;
    qint64 summaryTotal = 0;   // photos, videos, audio and documents of the current scope

    static EmptyStateInputs of(const Library& library);
};

struct EmptyState {
    QString title;
    QString symbol;                     // a name of the icon table
    std::optional<QString> description;

    bool operator==(const EmptyState&) const = default;
};

EmptyState emptyState(const EmptyStateInputs& inputs);

} // namespace grid
