#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class Defaults;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QWidget;

// The pieces every settings page is made of: a form inset by 20 pixels, and controls bound to one
// stored setting each, which write a choice of the user at once and follow changes made elsewhere.

// One option of a picker: what it shows and the value it stores.
struct SettingOption {
    QString title;
    QVariant value;
};

// The position of the stored value among the offered ones, or -1 when it is none of them (a value
// written by hand, of another type, or unreadable): the picker then shows no selection. The stored
// value is read with the type of the offered values, as the settings file keeps text.
int optionIndex(const QVariant& stored, const QList<SettingOption>& options);

// A form laid out on `page`, inset by 20 pixels, its labels right-aligned.
QFormLayout* settingsForm(QWidget* page);

// A picker of `options` bound to `key`: it selects the stored value's option, and a pick of the
// user stores that option's value. A value outside the options stays stored until the user picks.
QComboBox* boundPicker(Defaults& defaults, const QString& key, const QList<SettingOption>& options, QWidget* parent);

// A check box titled `title` bound to the boolean setting `key`.
QCheckBox* boundToggle(Defaults& defaults, const QString& key, const QString& title, QWidget* parent);

// A note in the secondary text colour, shown as plain text.
QLabel* secondaryLabel(const QString& text, QWidget* parent);
// A secondary note in the caption font.
QLabel* captionLabel(const QString& text, QWidget* parent);
