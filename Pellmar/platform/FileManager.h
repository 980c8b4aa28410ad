#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>

// What the file manager is asked to show: a file or folder selected in the folder that holds it,
// or a folder's own contents.
enum class FileManagerRequest { showItem, showFolder };

// Asks the file manager on `bus` (org.freedesktop.FileManager1) to show the path, without waiting
// for its answer. When the bus is not connected or no file manager answers, `openFolder` is called
// with the folder to open instead: the one that holds the item, or the folder itself.
void askFileManager(const QDBusConnection& bus, FileManagerRequest request, const QString& path,
                    std::function<void(const QString& folder)> openFolder);

// The same on the session bus, opening the folder with the default application when no file
// manager answers. GUI thread.
void showInFileManager(const QString& path);
void showFolderInFileManager(const QString& path);
