#include "Pellmar/views/device/CardPreviews.h"

#include "Pellmar/library/frame/Tasks.h"

namespace {

constexpr int concurrentReads = 2;

} // namespace

CardPreviews::CardPreviews(Reader reader, QObject* parent)
    : QObject(parent)
    , reader_(std::move(reader))
{
}

void CardPreviews::want(const QList<CardFile>& onScreen)
{
    waiting_.clear();
    for (const CardFile& file : onScreen)
        if (!known_.contains(file.url) && !running_.contains(file.url))
            waiting_.append(file);
    startReads();
}

void CardPreviews::startReads()
{
    if (!reader_)
        return;
    while (running_.size() < concurrentReads && !waiting_.isEmpty()) {
        const CardFile file = waiting_.takeFirst();
        running_.insert(file.url);
        Tasks::start(read(this, reader_, file));
    }
}

QCoro::Task<> CardPreviews::read(QPointer<CardPreviews> self, Reader reader, CardFile file)
{
    const std::optional<QString> preview = co_await reader(file);
    if (!self)
        co_return;
    self->running_.remove(file.url);
    self->known_.insert(file.url, preview);
    Q_EMIT self->previewReady(file.url);
    self->startReads();
}
