#include "Pellmar/views/kit/MenuText.h"

QString menuText(const QString& name)
{
    QString text = name;
    return text.replace(u'&', QStringLiteral("&&"));
}
