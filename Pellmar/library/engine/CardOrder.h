#pragma once

// The order of a card's files in the card grid, and the filter of the search field over them.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

// Whether `a` comes before `b` in ascending order of `sort`: file names as the file manager orders
// them (digits by value); kinds, then older first; every date field by modification date, the
// only date a card file has before import.
bool cardFileBefore(const CardFile& a, const CardFile& b, SortField sort);

// The files sorted by `sort`; descending reverses the whole ascending list.
QList<CardFile> sortedCardFiles(QList<CardFile> files, SortField sort, bool ascending);

// The files whose name holds the query, trimmed of spaces and tabs (not of line breaks) and
// compared without regard to case; every file for an empty query.
QList<CardFile> cardFilesMatching(const QList<CardFile>& files, const QString& query);
