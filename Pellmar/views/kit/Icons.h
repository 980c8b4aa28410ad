#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Icons by symbol name ("folder", "externaldrive.badge.checkmark", "xmark.circle.fill"), drawn from
// the SVG files shipped in the program's resources. An icon has one colour: the one given, or the
// palette's text colour for the icon's mode (greyed out when disabled, highlighted text when
// selected). Badges are drawn over their base symbol here.
namespace Icons {

// A symbol that no table entry names draws an empty square and is logged once.
QIcon icon(const QString& symbol, const QColor& color = QColor());
// The symbol drawn in a square of `size` logical pixels.
QPixmap pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

bool isKnown(const QString& symbol);
// Every symbol name of the table, in table order.
QStringList knownSymbols();
// The resource path of the SVG file a symbol is drawn from, or an empty text for an unknown symbol.
QString resourcePath(const QString& symbol);

// The symbol of a source's root by its kind of place (`Source::placeRank`): the computer, the cloud
// drive, the photo library, a drive.
QString placeSymbol(int placeRank);

} // namespace Icons
