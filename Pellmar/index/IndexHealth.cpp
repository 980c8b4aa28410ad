#include "Pellmar/index/IndexHealth.h"

#include "Pellmar/index/Log.h"

#include <QMutexLocker>

void IndexHealth::setDamageHandler(std::function<void(const QString& description)> handler)
{
    QMutexLocker lock(&mutex_);
    handler_ = std::move(handler);
}

void IndexHealth::noteDamage(const QString& description)
{
    std::function<void(const QString&)> handler;
    {
        QMutexLocker lock(&mutex_);
        if (damage_)
            return;
        damage_ = description;
        handler = handler_;
    }
    qCCritical(logIndex).noquote() << QStringLiteral("The index is damaged, every write stops: ") + description;
    if (handler)
        handler(description);
}

std::optional<QString> IndexHealth::damage() const
{
    QMutexLocker lock(&mutex_);
    return damage_;
}
