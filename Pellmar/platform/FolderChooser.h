#pragma once

#include <QString>

#include <functional>

// Asks the user for one folder or drive to index. The window asks and returns at once; the
// answer comes later, on the GUI thread.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Calls `chosen` with the folder's path when the user confirms; never on Cancel.
    virtual void chooseFolder(std::function<void(const QString& path)> chosen) = 0;
};
