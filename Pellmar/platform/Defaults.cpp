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

template <typename Write>
void Defaults::writeAndAnnounce(const QStringList& keys, Write write)
{
    QStringList changedKeys;
    {
        QMutexLocker locker(&lock_);
        QVariantList before;
        for (const QString& key : keys)
            before.append(valueLocked(key));
        write();
        for (qsizetype i = 0; i < keys.size(); ++i)
            if (valueLocked(keys[i]) != before[i])
                changedKeys.append(keys[i]);
    }
    // Outside the lock: a receiver may read or write the settings at once.
    for (const QString& key : changedKeys)
        Q_EMIT changed(key);
}

void Defaults::registerDefaults(const QVariantMap& values)
{
    writeAndAnnounce(values.keys(), [&] { registered_.insert(values); });
}

QVariant Defaults::value(const QString& key) const
{
    QMutexLocker locker(&lock_);
    return valueLocked(key);
}

QVariant Defaults::valueLocked(const QString& key) const
{
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
    writeAndAnnounce({key}, [&] { settings_.setValue(key, value); });
}

void Defaults::remove(const QString& key)
{
    writeAndAnnounce({key}, [&] { settings_.remove(key); });
}

void Defaults::sync()
{
    QMutexLocker locker(&lock_);
    settings_.sync();
}
