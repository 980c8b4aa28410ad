#pragma once

// What the import sheet shows and hands over, worked out from the card's listing, the chosen
// files, the destination and the sheet's options: the header, the plan line, the files to copy
// and whether "Import" may start.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

struct ImportPlanInput {
    std::optional<QList<CardFile>> listing;   // absent until the card has been listed
    QSet<QString> subset;                     // the chosen file urls; empty for the whole card
    std::optional<ImportTarget> target;
    QString folderLabel;                      // the destination's label when the target is a folder
    bool skipKnown = false;
    std::optional<QSet<QString>> known;       // absent until the known-file check has delivered
    bool checking = false;
    bool deleteAfter = false;
    bool importRunning = false;
};

struct ImportPlan {
    bool listed = false;
    QList<CardFile> chosen;    // in listing order
    QList<CardFile> toCopy;    // in listing order
    qsizetype duplicates = 0;
    qint64 photos = 0;
    qint64 videos = 0;
    qint64 headerSize = 0;     // every chosen file, audio included
    qint64 planSize = 0;       // the files to copy
    QString subtitle;
    QString planLine;
    bool canImport = false;
};

ImportPlan derivePlan(const ImportPlanInput& in);
