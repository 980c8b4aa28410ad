#pragma once

#include <QIcon>
#include <QString>

// The icon of a MIME type from the icon theme: its own, else its kind's generic one, else a plain
// document's; the style's file icon where the theme has none of them.
QIcon typeIcon(const QString& mimeType);
