#include "Pellmar/platform/Defaults.h"

#include <QMutexLocker>

Defaults& Defaults::standard()
{
    static Defaults defaults(
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quorvin"), QStringLiteral("Quorvin"))
            .fileName());
    return defaults;
}

Defaults::Defaults(const QString& fileName)
    : settings_(fileName, QSettings::IniFormat)
{
}

void Defaults::registerDefaults(const QVariantMap& values)
{
    QMutexLocker locker(&lock_);
    registered_.insert(values);
}

QVariant Defaults::value(const QString& key) const
{
    QMutexLocker locker(&lock_);
    const QVariant stored = settings_.value(key);
    return stored.isValid() ? stored : registered_.value(key);
}

std::optional<QString> Defaults::string(const QString& key) const
{
    const QVariant found = value(key);
    if (!found.isValid() || !found.canConvert<QString>())
        return std::nullopt;
    return found.toString();
}

bool Defaults::boolean(const QString& key) const
{
    return value(key).toBool();
}

qint64 Defaults::integer(const QString& key) const
{
    return value(key).toLongLong();
}

QStringList Defaults::stringList(const QString& key) const
{
    return value(key).toStringList();
}

void Defaults::set(const QString& key, const QVariant& value)
{
    QMutexLocker locker(&lock_);
    settings_.setValue(key, value);
}

void Defaults::remove(const QString& key)
{
    QMutexLocker locker(&lock_);
    settings_.remove(key);
}

void Defaults::sync()
{
    QMutexLocker locker(&lock_);
    settings_.sync();
}
