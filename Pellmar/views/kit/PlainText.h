#pragma once

// Text that comes from files, names, labels and feeds is shown as written, never read as markup. A
// label is kept to Qt::PlainText; a tooltip has no such setting (Qt reads any tooltip that looks
// like markup as rich text, images and all), so such text goes into it escaped.

#include <QString>
#include <QTextDocument>

inline QString plainToolTip(const QString& text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text);
}
