#pragma once

#include <QString>

// Shows a file or folder selected in the user's file manager. Returns at once: the request goes
// over D-Bus (org.freedesktop.FileManager1) without waiting for an answer; when no file manager
// answers it, the folder that holds the path is opened instead. GUI thread.
void showInFileManager(const QString& path);
