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

// What copying or dragging an item hands over: its reachable file, or for a photo library item the
// picture in an image file (decoded off the GUI thread when copied).
struct PasteboardObject {
    enum class Kind { file, image } kind = Kind::file;
    QString path;
    bool operator==(const PasteboardObject&) const = default;
};
