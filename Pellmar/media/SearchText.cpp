#include "Pellmar/media/SearchText.h"

#include "Pellmar/media/SearchDate.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QStringList>

QString folderWords(const QString& relativePath)
{
    const qsizetype lastSlash = relativePath.lastIndexOf(u'/');
    QString folder = lastSlash < 0 ? QString() : relativePath.left(lastSlash);
    folder.replace(u'/', u' ');
    return folder;
}

QString volumeWord(const QString& volumeName)
{
    return volumeName == QLatin1String("/") ? QString() : volumeName;
}

QString searchKindWord(MediaKind kind, const QString& mimeType)
{
    if (kind != MediaKind::document)
        return kindWord(kind);
    static const QMimeDatabase mimeTypes;
    const QMimeType type = mimeTypes.mimeTypeForName(mimeType);
    const QString description = type.isValid() ? type.comment() : QString();
    return description.isEmpty() ? kindWord(kind) : description + QLatin1Char(' ') + kindWord(kind);
}

QString itemSearchText(const Item& item, const QString& relativePath, const Source& source, const QString& fileType)
{
    QStringList parts{item.filename,
                      folderWords(relativePath),
                      source.name,
                      volumeWord(source.volumeName),
                      item.camera,
                      item.lens,
                      searchKindWord(item.kind, item.uti.isEmpty() ? fileType : item.uti),
                      item.capturedAt ? searchDateFormatter().string(*item.capturedAt) : QString()};
    parts.removeAll(QString());
    return parts.join(u' ');
}
