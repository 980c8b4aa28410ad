#pragma once

// Renaming a file in place without ever replacing what is at the new name.

#include <QString>

// Moves `from` to `to`. Fails with EEXIST when anything, a dangling link too, is at `to`, also
// when it appears during the move; otherwise 0 or the errno of the refusal. Where the file system
// has no move that refuses to replace, a check just before a plain move stands in for it.
int renameWithoutReplacing(const QString& from, const QString& to);
