#pragma once

#include "Pellmar/media/Watcher.h"

// A watcher that delivers the batches a test hands it, on the test's thread, until it is stopped.
class FakeWatcher : public Watcher {
public:
    FakeWatcher(QString path, WatchHandler handler) : path_(std::move(path)), handler_(std::move(handler)) {}

    const QString& path() const { return path_; }
    bool isStopped() const { return stopped_; }

    void deliver(const QStringList& paths, const QList<quint32>& flags)
    {
        if (!stopped_)
            handler_(paths, flags);
    }

    void stop() override { stopped_ = true; }

private:
    QString path_;
    WatchHandler handler_;
    bool stopped_ = false;
};
