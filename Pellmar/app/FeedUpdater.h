#pragma once

#include "Pellmar/app/Updater.h"

#include <QByteArray>
#include <QString>

class Defaults;
class QNetworkAccessManager;
class TaskPools;

// Updates on Linux come from the distribution's packages; this updater only tells whether a newer
// version is listed in a release feed. The feed is named by the setting "updateFeed" (a local path
// or an https URL; plain http is refused) and holds, in at most 1 MiB, a JSON object with the
// newest "version" and, optionally, a "url" where it is described. Without a feed no check can be
// made.
class FeedUpdater final : public Updater {
    Q_OBJECT
public:
    // `defaults` and `pools` must outlive the updater.
    FeedUpdater(Defaults& defaults, TaskPools& pools, QString currentVersion, QObject* parent = nullptr);

    void start() override;
    void check() override;

    struct Answer {
        QString title;
        QString message;

        bool operator==(const Answer&) const = default;
    };
    // What a feed's contents say about `currentVersion`.
    static Answer answer(const QString& currentVersion, const QByteArray& feed);
    static Answer failure(const QString& reason);

private:
    void finish(const Answer& answer);
    QString feed() const;

    Defaults& defaults_;
    TaskPools& pools_;
    QString currentVersion_;
    QNetworkAccessManager* network_ = nullptr;
};
