#include "Pellmar/app/StallMonitor.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int intervalMs = 1;
// About ten minutes of ticks before the vector grows.
constexpr size_t reservedTicks = 600'000;

} // namespace

StallMonitor::StallMonitor(QString path, QObject* parent)
    : QObject(parent)
    , path_(std::move(path))
{
    ticks_.reserve(reservedTicks);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &StallMonitor::tick);
    clock_.start();
    timer_.start();
}

void StallMonitor::tick()
{
    const qint64 nowUs = clock_.nsecsElapsed() / 1000;
    const qint64 lateUs = std::max<qint64>(0, nowUs - lastTickUs_ - intervalMs * 1000);
    lastTickUs_ = nowUs;
    ticks_.push_back({QDateTime::currentMSecsSinceEpoch(), qint32(std::min<qint64>(lateUs, INT32_MAX))});
}

bool StallMonitor::write() const
{
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly)) {
        QTextStream out(&file);
        for (const Tick& tick : ticks_)
            out << tick.wallMs << ' ' << tick.latenessUs << '\n';
        out.flush();
        if (file.commit())
            return true;
    }
    QTextStream(stderr) << "quorvin: cannot write the stall log " << path_ << ": " << file.errorString() << Qt::endl;
    return false;
}
