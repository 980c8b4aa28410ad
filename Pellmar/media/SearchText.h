#pragma once

// The text a search finds an item by, as written for a copy of it in a folder source.

#include "Pellmar/index/Model.h"

#include <QString>

// The folder of a copy as search words: its path inside the source without the file's name, each
// "/" turned into a space; empty for a file at the root.
QString folderWords(const QString& relativePath);

// The volume's name as a search word: its label, or its mount folder's name; nothing for the root
// file system without a label, which goes by "/".
QString volumeWord(const QString& volumeName);

// The kind word of the search text: "Photo", "Video" or "Audio"; for a document, the description
// of its MIME type followed by " Document" ("Document" alone for a type that is not known).
QString searchKindWord(MediaKind kind, const QString& mimeType);

// The item's file name, the copy's folder (its path inside the source with "/" turned into spaces),
// the source's name and volume name, camera, lens, the kind word and the capture date, joined with
// single spaces; empty parts are left out. `fileType` names the document type when the item has none.
QString itemSearchText(const Item& item, const QString& relativePath, const Source& source, const QString& fileType);
