#include "Pellmar/index/Index.h"

Index::Index(const QString& path, Access access)
    : db_(path)
    , executor_(access == Access::writer ? QStringLiteral("index writer") : QStringLiteral("index reader"))
{
    db_.exec(QStringLiteral("PRAGMA busy_timeout = 10000"));
    if (access == Access::readOnly)
        db_.exec(QStringLiteral("PRAGMA query_only = 1"));
}
