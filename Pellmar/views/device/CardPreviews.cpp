#include "Pellmar/views/device/CardPreviews.h"

#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/CardPreviews.h"

namespace {

constexpr int concurrentReads = 2;

} // namespace

CardPreviews::CardPreviews(Reader reader, QObject* parent)
    : QObject(parent)
    , reader_(std::move(reader))
{
}

QString CardPreviews::key(const CardFile& file)
{
    return cardPreviewKey(file);
}

bool CardPreviews::isKnown(const CardFile& file) const
{
    const QString fileKey = key(file);
    return found_.contains(fileKey) || failed_.contains(fileKey);
}

std::optional<QString> CardPreviews::preview(const CardFile& file) const
{
    const auto found = found_.constFind(key(file));
    return found == found_.cend() ? std::nullopt : std::optional(*found);
}

void CardPreviews::clear()
{
    waiting_.clear();
    found_.clear();
    failed_.clear();
}

void CardPreviews::want(const QList<CardFile>& onScreen)
{
    waiting_.clear();
    for (const CardFile& file : onScreen)
        if (!isKnown(file) && !running_.contains(key(file)))
            waiting_.append(file);
    startReads();
}

void CardPreviews::startReads()
{
    if (!reader_)
        return;
    while (running_.size() < concurrentReads && !waiting_.isEmpty()) {
        const CardFile file = waiting_.takeFirst();
        running_.insert(key(file));
        Tasks::start(read(this, reader_, file));
    }
}

QCoro::Task<> CardPreviews::read(QPointer<CardPreviews> self, Reader reader, CardFile file)
{
    const std::optional<QString> preview = co_await reader(file);
    if (!self)
        co_return;
    const QString fileKey = key(file);
    self->running_.remove(fileKey);
    if (preview)
        self->found_.insert(fileKey, *preview);
    else
        self->failed_.insert(fileKey);
    Q_EMIT self->previewReady(file.url);
    self->startReads();
}
