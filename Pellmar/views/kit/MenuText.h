#pragma once

#include <QString>

// A name from the user's data as the text of a menu item or button: every '&' doubled, so that
// Qt shows it instead of reading it as the mark of a keyboard mnemonic.
QString menuText(const QString& name);
