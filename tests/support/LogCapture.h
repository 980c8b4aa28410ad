#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QStringList>

#include <mutex>

// Collects the messages of one logging category while it lives, from any thread; messages of other
// categories go on to the handler installed before. One capture at a time.
class LogCapture {
public:
    explicit LogCapture(const QLoggingCategory& category);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The messages collected since the capture began or since the last take().
    QStringList take();

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    static inline std::mutex lock_;
    static inline QByteArray category_;
    static inline QStringList lines_;
    static inline QtMessageHandler previous_ = nullptr;
};
