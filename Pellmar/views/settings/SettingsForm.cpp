#include "Pellmar/views/settings/SettingsForm.h"

#include "Pellmar/platform/Defaults.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

namespace {

constexpr int formInset = 20;

// The stored value read as `type`, or an invalid value when it does not read as one.
QVariant readAs(const QVariant& stored, QMetaType type)
{
    if (!stored.isValid())
        return {};
    if (stored.metaType() == type)
        return stored;
    const QString text = stored.toString().trimmed();
    bool ok = false;
    switch (type.id()) {
    case QMetaType::Bool:
        if (text == u"true" || text == u"false")
            return text == u"true";
        return {};
    case QMetaType::Int:
    case QMetaType::LongLong: {
        const qint64 number = text.toLongLong(&ok);
        return ok ? QVariant(number) : QVariant();
    }
    case QMetaType::QString:
        return stored.canConvert<QString>() ? QVariant(stored.toString()) : QVariant();
    default:
        return {};
    }
}

bool sameSetting(const QVariant& read, const QVariant& offered)
{
    if (offered.typeId() == QMetaType::Int || offered.typeId() == QMetaType::LongLong)
        return read.toLongLong() == offered.toLongLong();
    return read == offered;
}

} // namespace

int optionIndex(const QVariant& stored, const QList<SettingOption>& options)
{
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QVariant read = readAs(stored, options[i].value.metaType());
        if (read.isValid() && sameSetting(read, options[i].value))
            return int(i);
    }
    return -1;
}

QFormLayout* settingsForm(QWidget* page)
{
    auto* form = new QFormLayout(page);
    form->setContentsMargins(formInset, formInset, formInset, formInset);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    return form;
}

QComboBox* boundPicker(Defaults& defaults, const QString& key, const QList<SettingOption>& options, QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    for (const SettingOption& option : options)
        picker->addItem(option.title, option.value);
    const auto show = [picker, &defaults, key, options] { picker->setCurrentIndex(optionIndex(defaults.value(key), options)); };
    show();
    // activated() comes from the user only, so showing a value never writes it back.
    QObject::connect(picker, &QComboBox::activated, picker, [&defaults, key, options](int index) {
        if (index >= 0 && index < options.size())
            defaults.set(key, options[index].value);
    });
    QObject::connect(&defaults, &Defaults::changed, picker, [show, key](const QString& changed) {
        if (changed == key)
            show();
    });
    return picker;
}

QCheckBox* boundToggle(Defaults& defaults, const QString& key, const QString& title, QWidget* parent)
{
    auto* toggle = new QCheckBox(title, parent);
    const auto show = [toggle, &defaults, key] { toggle->setChecked(defaults.boolean(key)); };
    show();
    QObject::connect(toggle, &QCheckBox::clicked, toggle, [&defaults, key](bool on) { defaults.set(key, on); });
    QObject::connect(&defaults, &Defaults::changed, toggle, [show, key](const QString& changed) {
        if (changed == key)
            show();
    });
    return toggle;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QPalette secondary = label->palette();
    secondary.setColor(QPalette::WindowText, secondaryTextColor(secondary));
    label->setPalette(secondary);
    return label;
}

QLabel* captionLabel(const QString& text, QWidget* parent)
{
    QLabel* label = secondaryLabel(text, parent);
    QFont caption = label->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    label->setFont(caption);
    return label;
}
