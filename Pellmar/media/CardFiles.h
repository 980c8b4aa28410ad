#pragma once

// The file operations on a camera memory card: listing its media files, their quick hashes,
// checking a copy against its card file before the original may go, and deleting a card file with
// its "._" companion. None touches the index; all block on the card, so callers run them off the
// GUI thread.

#include "Pellmar/index/Model.h"

#include <QHash>
#include <QList>
#include <QString>

// The photos, videos and audio files under the card's "DCIM" and "PRIVATE" folders (those that
// exist, in that order), or under the root when it has neither. Hidden files and folders and
// files of no media kind are left out; unreadable entries too.
QList<CardFile> scanCard(const QString& root);

// Quick hash of each listed file that is not empty and can be read, by its url.
QHash<QString, QString> cardQuickHashes(const QList<CardFile>& files);

// Whether the copy at `copyPath` holds exactly the card file's contents. The copy is flushed to the
// disk first and both files are read back in full past the page cache, so a copy that a failing
// drive or card did not keep is caught. Any difference, short read or error gives false.
bool verifyCopy(const QString& copyPath, const CardFile& original);

// Unlinks the card file, then its companion "._<name>" when there is one. False, with the
// companion left alone, when the file itself cannot be removed. Never moves to the Trash, which on
// a card's file system would keep the space taken.
bool deleteWithCompanion(const QString& path);
