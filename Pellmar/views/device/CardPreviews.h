#pragma once

#include "Pellmar/index/Model.h"

#include <QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// Asks for the previews of card files, two at a time: a card reader slows down sharply under many
// reads at once. Tiles on screen are asked for first; a request whose tile left the screen before
// its read began is dropped. A preview found is kept by the file's path, size and modification
// time, so a tile that comes back, or moves in a new order or filter, shows it without asking
// again, and another card's file of the same name is never shown for it. A read that gave nothing
// is not asked again until the failures are forgotten (a new listing of the card).
class CardPreviews : public QObject {
    Q_OBJECT
public:
    // Makes or finds the preview file of a card file, or none, away from the GUI thread.
    using Reader = std::function<QCoro::Task<std::optional<QString>>(CardFile)>;

    explicit CardPreviews(Reader reader, QObject* parent = nullptr);

    // The files whose tiles are on screen, in order of urgency; every other waiting request is
    // dropped, and reads start for those not known yet.
    void want(const QList<CardFile>& onScreen);
    // Whether the file's preview has been asked for and answered.
    bool isKnown(const CardFile& file) const;
    std::optional<QString> preview(const CardFile& file) const;
    // Files whose read gave nothing are read again when next wanted.
    void forgetFailures() { failed_.clear(); }
    // Forgets everything, as for another card.
    void clear();
    int reading() const { return int(running_.size()); }
    int waiting() const { return int(waiting_.size()); }

Q_SIGNALS:
    void previewReady(const QString& url);

private:
    static QString key(const CardFile& file);
    void startReads();
    static QCoro::Task<> read(QPointer<CardPreviews> self, Reader reader, CardFile file);

    Reader reader_;
    QList<CardFile> waiting_;   // most urgent first
    QSet<QString> running_;                 // keys
    QHash<QString, QString> found_;         // key → preview file
    QSet<QString> failed_;                  // keys
};
