#pragma once

// The texts, progress and buttons of the activity strip, from a plain reading of the Library's
// background work. Up to four blocks, top to bottom: the relink note, the note on folders that
// are not watched, the card import (its progress or its result) and one activity (a scan, quick
// indexing, files waiting, or larger previews), the first of these that applies.

#include "Pellmar/index/Index.h"
#include "Pellmar/index/Model.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

class Library;

struct ActivityInputs {
    std::optional<QString> relinkNote;
    std::optional<ImportJob> importJob;
    std::optional<ImportResult> importResult;
    QList<Device> devices;
    std::optional<QString> scanning;
    qint64 scanFound = 0;
    bool processing = false;
    QueueStatus status;
    QList<Source> sources;
    QHash<QString, Index::SourceProgress> sourceProgress;
    QStringList inFlight;
    double rate = 0;
    bool fullProcessing = false;
    bool fullWaiting = false;
    FullStatus fullStatus;
    QSet<QString> online;
    QStringList fullInFlight;
    double fullRate = 0;
    bool onBattery = false;
    bool isHot = false;
    // The settings "fullPreviews" is "never", and "notOnBattery".
    bool previewsNever = false;
    bool notOnBattery = false;
    double now = 0;   // seconds since 1970, for an import's speed
    QSet<QString> unwatchedSources;

    static ActivityInputs of(const Library& library);
};

// A progress bar's position in the int range a bar takes; the maximum is at least 1.
struct ProgressValue {
    int value = 0;
    int maximum = 1;
    bool operator==(const ProgressValue&) const = default;
};
ProgressValue progressValue(qint64 value, qint64 total);

struct ImportProgressBlock {
    QString title;      // "Importing from CARD to Trip"
    QString counts;     // "3 of 12"
    ProgressValue progress;
    QString transfer;   // "1.2 MB of 5 MB, 300 KB/s"
    QString current;    // the file being copied
};

struct ImportResultRow {
    QString sentence;
    // The result went into the photo library: its button opens the library, else the folder.
    bool intoPhotoLibrary = false;
    std::optional<QString> folder;
    // "Eject CARD" while the card is still mounted.
    std::optional<QString> ejectLabel;
};

struct ScanBlock {
    QString title;
    QString found;
    QString note;
};

struct IndexingBlock {
    QString title;
    QString counts;
    ProgressValue progress;
    QString note;
    QString workingOn;   // empty: no row
};

struct WaitingRow {
    QString text;
};

struct PreviewBlock {
    QString title;
    QString counts;
    ProgressValue progress;
    QString detail;
    bool working = false;   // its button pauses, else resumes
    QString workingOn;      // empty: no row
};

using ActivityBlock = std::variant<std::monostate, ScanBlock, IndexingBlock, WaitingRow, PreviewBlock>;

struct ActivityBlocks {
    std::optional<QString> relinkNote;
    std::optional<QString> watchNote;
    std::optional<ImportProgressBlock> importProgress;
    std::optional<ImportResultRow> importResult;
    ActivityBlock activity;
};

ActivityBlocks activityBlocks(const ActivityInputs& in);

// The sentence of a finished import: "Imported 12 files to Trip, deleted 3 from CARD".
QString importResultSentence(const ImportResult& result);
