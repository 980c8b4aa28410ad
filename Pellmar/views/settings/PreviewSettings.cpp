#include "Pellmar/views/settings/PreviewSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

QList<SettingOption> PreviewSettings::fullPreviewOptions()
{
    return {{tr("When idle"), QStringLiteral("idle")}, {tr("Always"), QStringLiteral("always")},
            {tr("Never"), QStringLiteral("never")}};
}

QList<SettingOption> PreviewSettings::proxySizeOptions()
{
    return {{tr("1024 px"), 1024}, {tr("2048 px"), 2048}, {tr("4096 px"), 4096}};
}

QList<SettingOption> PreviewSettings::videoProxyOptions()
{
    return {{tr("720p"), 720}, {tr("1080p"), 1080}};
}

PreviewSettings::PreviewSettings(Defaults& defaults, QWidget* parent)
    : QWidget(parent)
{
    QFormLayout* form = settingsForm(this);
    const auto addPicker = [&](const QString& label, const QString& key, const QList<SettingOption>& options) {
        QComboBox* picker = boundPicker(defaults, key, options, this);
        picker->setObjectName(key);
        form->addRow(label, picker);
    };
    addPicker(tr("Full previews run"), QStringLiteral("fullPreviews"), fullPreviewOptions());
    QCheckBox* battery = boundToggle(defaults, QStringLiteral("notOnBattery"), tr("Not on battery"), this);
    battery->setObjectName(QStringLiteral("notOnBattery"));
    form->addRow(QString(), battery);
    addPicker(tr("Photo preview size"), QStringLiteral("proxySize"), proxySizeOptions());
    addPicker(tr("Video preview"), QStringLiteral("videoProxy"), videoProxyOptions());

    QLabel* caption = captionLabel(tr("Sizes apply to new previews only."), this);
    caption->setObjectName(QStringLiteral("caption"));
    form->addRow(QString(), caption);
}
