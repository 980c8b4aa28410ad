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

// A copy of an item that a cloud drive keeps: where, its file's path, and whether it is downloaded.
struct CloudCopy {
    Location location;
    QString url;
    bool downloaded = false;
    bool operator==(const CloudCopy&) const = default;
};

// What the details pane and the item menus show of an item's files, looked at off the GUI thread
// once per change of the selection, its copies or the online sources, so that no view waits for a
// sleeping drive.
struct FileFacts {
    std::optional<Location> reachable;   // the first local copy whose file exists
    std::optional<QString> shareFile;    // what bestFileURL gives
    std::optional<CloudCopy> cloud;      // what isCloudFile gives
    std::optional<double> created;       // the reachable file's birth time, where it is kept
    bool operator==(const FileFacts&) const = default;
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

// A copy of an item after it was compared in full with the item's other reachable copies.
struct SettledCopy {
    Item item;               // the copy's item now
    bool separated = false;  // the copy left its former item
    qint64 equalCopies = 0;  // other copies found equal in full
};
