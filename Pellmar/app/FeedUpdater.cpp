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

#include <memory>

namespace {

const QString feedKey = QStringLiteral("updateFeed");
// A feed is a few lines; anything larger is not one, and is not read further.
constexpr qint64 maxFeedSize = 1 << 20;
constexpr int networkTimeoutMs = 15000;

struct FeedRead {
    QByteArray data;
    QString error;
};

QString tooLargeText()
{
    return FeedUpdater::tr("The release feed is larger than 1 MiB.");
}

FeedRead readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    QByteArray data = file.read(maxFeedSize + 1);
    if (data.size() > maxFeedSize)
        return {{}, tooLargeText()};
    return {std::move(data), {}};
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
    // A feed that anyone on the way could change is not asked.
    if (url.scheme() == QLatin1String("http")) {
        finish(failure(tr("The release feed must be an https address or a local file.")));
        return;
    }
    if (url.scheme() == QLatin1String("https")) {
        if (!network_)
            network_ = new QNetworkAccessManager(this);
        QNetworkRequest request(url);
        request.setTransferTimeout(networkTimeoutMs);
        QNetworkReply* reply = network_->get(request);
        // Taken as it arrives, so that a reply that does not end never holds more than the limit.
        const auto received = std::make_shared<QByteArray>();
        connect(reply, &QIODevice::readyRead, this, [reply, received] {
            received->append(reply->read(maxFeedSize + 1 - received->size()));
            if (received->size() > maxFeedSize)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply, received] {
            reply->deleteLater();
            if (received->size() > maxFeedSize)
                finish(failure(tooLargeText()));
            else if (reply->error() != QNetworkReply::NoError)
                finish(failure(reply->errorString()));
            else
                finish(answer(currentVersion_, *received + reply->read(maxFeedSize - received->size())));
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
