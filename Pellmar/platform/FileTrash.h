#pragma once

#include <QString>

#include <optional>

// Moves a file to the Trash the way desktop trash clients expect: the home Trash, or the Trash
// folder of the file's own drive, with an info entry whose path is escaped. Nothing on success,
// else why it failed, as a sentence. Waits for the disk: never on the GUI thread.
std::optional<QString> moveFileToTrash(const QString& path);
