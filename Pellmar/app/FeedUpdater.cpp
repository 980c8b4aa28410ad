#include "Pellmar/app/FeedUpdater.h"

#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/platform/Defaults.h"

#include <QFile>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>
#include <QVersionNumber>

namespace {

const QString feedKey = QStringLiteral("updateFeed");
// A feed is a few lines; anything larger is not one.
constexpr qint64 maxFeedSize = 1 << 20;
constexpr int networkTimeoutMs = 15000;

struct FeedRead {
    QByteArray data;
    QString error;
};

FeedRead readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    return {file.read(maxFeedSize), {}};
}

} // namespace

FeedUpdater::FeedUpdater(Defaults& defaults, TaskPools& pools, QString currentVersion, QObject* parent)
    : Updater(parent)
    , defaults_(defaults)
    , pools_(pools)
    , currentVersion_(std::move(currentVersion))
{
}

QString FeedUpdater::feed() const
{
    return defaults_.string(feedKey).value_or(QString()).trimmed();
}

void FeedUpdater::start()
{
    setCanCheck(!feed().isEmpty());
}

void FeedUpdater::check()
{
    const QString location = feed();
    if (!canCheck() || location.isEmpty())
        return;
    setCanCheck(false);

    const QUrl url(location);
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
        if (!network_)
            network_ = new QNetworkAccessManager(this);
        QNetworkRequest request(url);
        request.setTransferTimeout(networkTimeoutMs);
        QNetworkReply* reply = network_->get(request);
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError)
                finish(failure(reply->errorString()));
            else
                finish(answer(currentVersion_, reply->read(maxFeedSize)));
        });
        return;
    }

    // A local file is read off the GUI thread: it may lie on a drive that sleeps.
    const QString path = url.isLocalFile() ? url.toLocalFile() : location;
    auto* watcher = new QFutureWatcher<FeedRead>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        const FeedRead read = watcher->result();
        finish(read.error.isEmpty() ? answer(currentVersion_, read.data) : failure(read.error));
    });
    watcher->setFuture(pools_.run(Priority::userInitiated, [path] { return readFile(path); }));
}

void FeedUpdater::finish(const Answer& answer)
{
    Q_EMIT checked(answer.title, answer.message);
    setCanCheck(!feed().isEmpty());
}

FeedUpdater::Answer FeedUpdater::answer(const QString& currentVersion, const QByteArray& feed)
{
    const QJsonObject object = QJsonDocument::fromJson(feed).object();
    const QString listed = object.value(QStringLiteral("version")).toString().trimmed();
    const QVersionNumber newest = QVersionNumber::fromString(listed);
    if (newest.isNull())
        return failure(tr("The release feed names no version."));
    if (newest <= QVersionNumber::fromString(currentVersion))
        return {tr("Quorvin is up to date"), tr("Quorvin %1 is the newest version.").arg(currentVersion)};
    QString message = tr("Quorvin %1 is available; you have %2. Install it with your distribution's packages.")
                          .arg(listed, currentVersion);
    if (const QString url = object.value(QStringLiteral("url")).toString(); !url.isEmpty())
        message += u' ' + tr("More at %1").arg(url);
    return {tr("A new version is available"), message};
}

FeedUpdater::Answer FeedUpdater::failure(const QString& reason)
{
    return {tr("Could not check for updates"), reason};
}
