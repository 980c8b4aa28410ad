#pragma once

// Small previews of the photos on a memory card, kept in a folder of the user's own so that a card
// is read once per file and not on every redraw of the card grid. Blocks on the card: callers run
// it off the GUI thread.

#include "Pellmar/index/Model.h"

#include <QString>

#include <optional>

// What names a card file's preview: its path, its modification time (seconds since 1970, in the
// shortest decimal form that reads back the same, always with a fraction) and its size, joined by
// "|". A changed file gets a new name, so a stale preview is never shown.
QString cardPreviewKey(const CardFile& file);

// The folder at `path`, made when missing with mode 0700; the last step follows no link. Nothing,
// with a log line, when the path is a link or no folder, or belongs to another user. A folder of
// the user's own that others may enter is narrowed to 0700.
std::optional<QString> privateFolder(const QString& path);

// Where card previews are kept: "QuorvinCardPreviews" in the user's cache folder.
QString cardPreviewFolderPath();

// The preview of a card photo in `folder` (made by privateFolder), made from the head of the file
// on first use; nothing for a file that is no photo, that cannot be read, or that carries no preview.
std::optional<QString> cardPreview(const CardFile& file, const QString& folder);
