#include "tests/support/LogCapture.h"

#include <utility>

LogCapture::LogCapture(const QLoggingCategory& category)
{
    {
        std::lock_guard locker(lock_);
        category_ = category.categoryName();
        lines_.clear();
    }
    previous_ = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
    std::lock_guard locker(lock_);
    lines_.clear();
}

QStringList LogCapture::take()
{
    std::lock_guard locker(lock_);
    return std::exchange(lines_, {});
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        std::lock_guard locker(lock_);
        if (category_ == context.category) {
            lines_.append(message);
            return;
        }
    }
    previous_(type, context, message);
}
