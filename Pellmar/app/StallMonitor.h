#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

// For the session benchmark (--stall-log FILE): a 1 ms timer on the GUI thread notes how late each
// of its ticks comes, and when the program ends the notes go to FILE, one line per tick: the wall
// clock in milliseconds since the epoch, then the lateness in microseconds. A tick that comes late
// is time the window could not answer the user.
class StallMonitor : public QObject {
public:
    StallMonitor(QString path, QObject* parent = nullptr);

    // Writes the notes; returns false, with the reason on standard error, when the file cannot be written.
    bool write() const;

private:
    struct Tick {
        qint64 wallMs;
        qint32 latenessUs;
    };

    void tick();

    QString path_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastTickUs_ = 0;
    std::vector<Tick> ticks_;
};
