#include "Pellmar/library/Library.h"

#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/PlaceWords.h"

#include <QCoroFuture>

#include <algorithm>

QCoro::Task<> Library::addDefaultSources()
{
    const AliveGuard alive(this);
    static const QString added = QStringLiteral("addedDefaultSources");
    if (!addsSources_ || (!sources_.isEmpty() && defaults_->boolean(added)))
        co_return;
    // Set first, so that an addition that fails is not tried again while other sources exist.
    defaults_->set(added, true);
    // On disk before the additions start; the write waits for the disk, so it runs on a pool thread.
    co_await alive(pools_.run(Priority::utility, [defaults = defaults_] { defaults->sync(); }));
    const QString home = homePath();
    if (std::none_of(sources_.cbegin(), sources_.cend(), [&home](const Source& source) { return source.rootPath == home; }))
        co_await alive(indexFolder(home, QString::fromUtf16(thisComputerName)));
    // This computer has no cloud drive folder to add.
    co_await alive(addPhotosSource());
}

QCoro::Task<> Library::addLaunchSources()
{
    const AliveGuard alive(this);
    if (!addsSources_)
        co_return;
    // indexFolder makes a relative path absolute against the current folder.
    const QStringList arguments = arguments_;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--add"))
            co_await alive(indexFolder(arguments[i + 1], std::nullopt));
    }
}
