#pragma once

#include "Pellmar/index/Model.h"

#include <QObject>

#include <functional>
#include <optional>

// The capture date of the card file a panel shows, read from the file away from the GUI thread.
// Showing another file forgets the date of the one before, and a read that ends after its file
// was replaced is dropped, so a slow read of one file never lands on the next.
class CaptureDates : public QObject {
    Q_OBJECT
public:
    // Reads a file's capture date (none for audio and documents, which are not read); blocks.
    using Read = std::function<std::optional<double>(const CardFile&)>;
    // Runs a job on some other thread.
    using Executor = std::function<void(std::function<void()>)>;

    CaptureDates(Read read, Executor run, QObject* parent = nullptr);
    // Reads photos and videos with the media readers on `pools`' utility threads.
    static CaptureDates* onPools(class TaskPools& pools, QObject* parent);

    void show(const CardFile& file);
    const std::optional<double>& captured() const { return captured_; }

Q_SIGNALS:
    void capturedChanged();

private:
    Read read_;
    Executor run_;
    std::optional<QString> url_;
    quint64 serial_ = 0;
    std::optional<double> captured_;
};
