#pragma once

#include "Pellmar/platform/SharePicker.h"

#include <memory>

class ShareServices;

// The share picker of the program's windows: a menu of what this desktop can share files with,
// opened below the rectangle it is given or, without one, at the pointer over the active window.
class ShareMenu final : public SharePicker {
public:
    explicit ShareMenu(std::shared_ptr<const ShareServices> services);

    QObject* show(const QStringList& filePaths, std::optional<QRect> screenRect) override;

private:
    std::shared_ptr<const ShareServices> services_;
};
