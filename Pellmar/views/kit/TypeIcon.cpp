#include "Pellmar/views/kit/TypeIcon.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

QIcon typeIcon(const QString& mimeType)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    for (const QString& name : {type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")}) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}
