#pragma once

#include <QMutex>
#include <QString>

#include <functional>
#include <optional>

// Whether the index file is known to be damaged, shared by every connection that one program opens
// on it. The first read or write that meets a damaged page (or a file that is no database) marks it;
// from then on the writer runs no job at all, so nothing more is written into a store whose contents
// can no longer be trusted, until the user has chosen what to do.
class IndexHealth {
public:
    // Called once, on the thread that noted the damage, with its description.
    void setDamageHandler(std::function<void(const QString& description)> handler);
    // Marks the index damaged; only the first description is kept and told.
    void noteDamage(const QString& description);
    std::optional<QString> damage() const;

private:
    mutable QMutex mutex_;
    std::optional<QString> damage_;
    std::function<void(const QString&)> handler_;
};
