#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The user's settings, kept with QSettings in an INI file, with a registration domain: values
// registered by the program answer for keys the user has stored no value for, are never written
// to the file and never overwrite a stored value. Safe to use from any thread; a change is
// announced by changed() on the thread that made it (queued to receivers on other threads).
class Defaults : public QObject {
    Q_OBJECT
public:
    // The application's settings: "$XDG_CONFIG_HOME/Quorvin/Quorvin.conf".
    static Defaults& standard();

    // Settings kept in the INI file at `fileName` (tests give each case a file of its own).
    explicit Defaults(const QString& fileName);

    void registerDefaults(const QVariantMap& values);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant value(const QString& key) const;
    bool contains(const QString& key) const { return value(key).isValid(); }

    // Typed readings of value(); a missing value reads as nothing, false, 0 or an empty list.
    std::optional<QString> string(const QString& key) const;
    bool boolean(const QString& key) const;
    qint64 integer(const QString& key) const;
    QStringList stringList(const QString& key) const;

    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Writes stored values to the file now rather than at the next turn of the event loop.
    void sync();

Q_SIGNALS:
    // The value that value(key) gives has changed: stored, removed or newly registered.
    void changed(const QString& key);

private:
    // Runs `write` under the lock and announces the keys whose value it changed.
    template <typename Write>
    void writeAndAnnounce(const QStringList& keys, Write write);
    QVariant valueLocked(const QString& key) const;

    mutable QMutex lock_;
    QSettings settings_;
    QVariantMap registered_;
};
