#pragma once

#include "Pellmar/index/Model.h"

#include <QString>
#include <QStringList>

#include <optional>

// A copy of an item: the item with one of its locations.
struct ItemCopy {
    Item item;
    Location location;
};

// What the last verification of a source found, with the source's name.
struct SourceVerification {
    QString source;
    Verification result;
};

// The applications that open a kind of file: the preferred one and the others (desktop entry ids).
struct AppChoices {
    std::optional<QString> main;
    QStringList others;
};
