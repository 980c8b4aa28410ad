#pragma once

#include <QStringList>

// The paths of the local files on the clipboard, in their order; none when the clipboard holds
// no file or the program runs without a GUI. GUI thread only.
QStringList filesOnClipboard();
