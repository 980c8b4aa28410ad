#pragma once

#include "Pellmar/views/settings/DestinationSheet.h"
#include "Pellmar/views/settings/SettingsForm.h"

#include <QCoroTask>
#include <QPointer>

#include <functional>
#include <QWidget>

class ElidedLabel;
class Library;

// The "General" page: where card imports go by default, whether opening a photo or video shows it
// in the program's own viewer, and whether Move to Trash asks first.
class GeneralSettings : public QWidget {
    Q_OBJECT
public:
    explicit GeneralSettings(Library& library, QWidget* parent = nullptr);

    static QList<SettingOption> openOptions();

    const ElidedLabel& importLabel() const { return *importLabel_; }
    // The destination sheet while it is shown.
    DestinationSheet* sheet() const { return sheet_; }

private:
    void choose();
    // Runs `then` with the default destination, read off the GUI thread, while the page exists.
    static QCoro::Task<> withDefault(QPointer<GeneralSettings> page,
                                     std::function<void(GeneralSettings&, const ImportTarget&)> then);

    Library& library_;
    ElidedLabel* importLabel_;
    QPointer<DestinationSheet> sheet_;
    bool choosing_ = false;
};
