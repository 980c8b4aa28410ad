#pragma once

#include "Pellmar/platform/FolderChooser.h"

// The "Add Folder…" chooser: a window-modal file dialog over the active window that takes one
// folder or drive. It is Qt's own dialog, so that the message can show.
class FileDialogFolderChooser : public FolderChooser {
public:
    void chooseFolder(std::function<void(const QString& path)> chosen) override;
};
