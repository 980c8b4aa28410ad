#include "Pellmar/platform/SysfsFile.h"

#include <QFile>

QString readSysfsAttribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}
