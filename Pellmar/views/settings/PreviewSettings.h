#pragma once

#include "Pellmar/views/settings/SettingsForm.h"

#include <QWidget>

class Defaults;

// The "Previews" page: when the background work makes larger previews and how large they are.
// It only writes settings; the full-preview worker and the idle monitor read them when they decide.
class PreviewSettings : public QWidget {
    Q_OBJECT
public:
    PreviewSettings(Defaults& defaults, QWidget* parent = nullptr);

    static QList<SettingOption> fullPreviewOptions();
    static QList<SettingOption> proxySizeOptions();
    static QList<SettingOption> videoProxyOptions();
};
