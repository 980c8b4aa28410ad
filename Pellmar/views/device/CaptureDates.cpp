#include "Pellmar/views/device/CaptureDates.h"

#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/media/MediaInfo.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

CaptureDates::CaptureDates(Read read, Executor run, QObject* parent)
    : QObject(parent)
    , read_(std::move(read))
    , run_(std::move(run))
{
}

CaptureDates* CaptureDates::onPools(TaskPools& pools, QObject* parent)
{
    const auto read = [](const CardFile& file) -> std::optional<double> {
        switch (file.kind) {
        case MediaKind::photo: return readImageMetadata(file.url).capturedAt;
        case MediaKind::video: return readVideoMetadata(file.url).capturedAt;
        default: return std::nullopt;
        }
    };
    const auto run = [&pools](std::function<void()> job) { pools.run(Priority::utility, std::move(job)); };
    return new CaptureDates(read, run, parent);
}

void CaptureDates::show(const CardFile& file)
{
    if (url_ == file.url)
        return;
    url_ = file.url;
    const quint64 serial = ++serial_;
    if (captured_) {
        captured_.reset();
        Q_EMIT capturedChanged();
    }
    if (file.kind != MediaKind::photo && file.kind != MediaKind::video)
        return;
    run_([read = read_, file, serial, self = QPointer<CaptureDates>(this)] {
        const std::optional<double> captured = read(file);
        // Back on the GUI thread, where the panel may be gone by then.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, serial, captured] {
            if (!self || serial != self->serial_)
                return;
            self->captured_ = captured;
            Q_EMIT self->capturedChanged();
        }, Qt::QueuedConnection);
    });
}
