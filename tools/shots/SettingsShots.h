#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The Settings window's pages as states of quorvin-shots: "settings-general", "settings-sidebar",
// "settings-previews" and "settings-index".
QStringList settingsStates();
// Writes FOLDER/STATE.png of the Settings window on the page the state names.
bool shootSettings(const QString& state, const QString& folder, QTextStream& out, QTextStream& err);
