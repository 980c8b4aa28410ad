#include "Pellmar/library/engine/CardBrowsing.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/CardOrder.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/media/CardPreviews.h"

#include <QCoroFuture>

#include <algorithm>

namespace {

qsizetype positionOf(const QList<CardFile>& files, const QString& url)
{
    const auto found =
        std::find_if(files.cbegin(), files.cend(), [&url](const CardFile& file) { return file.url == url; });
    return found == files.cend() ? -1 : found - files.cbegin();
}

} // namespace

CardSelection clickedCardSelection(const CardSelection& current, const CardFile& file,
                                   const QList<CardFile>& visible, bool command, bool shift)
{
    const bool onFocus = current.focus && current.focus->url == file.url;
    CardSelection next = current;
    if (command) {
        if (!next.ticked.remove(file.url)) {
            next.ticked.insert(file.url);
            next.focus = file;
        } else if (onFocus) {
            const auto firstTicked = std::find_if(visible.cbegin(), visible.cend(), [&next](const CardFile& shown) {
                return next.ticked.contains(shown.url);
            });
            next.focus = firstTicked == visible.cend() ? std::nullopt : std::optional(*firstTicked);
        }
        return next;
    }
    if (shift && current.focus) {
        const qsizetype from = positionOf(visible, current.focus->url);
        const qsizetype to = positionOf(visible, file.url);
        if (from >= 0 && to >= 0) {
            next.ticked.clear();
            for (qsizetype i = std::min(from, to); i <= std::max(from, to); ++i)
                next.ticked.insert(visible[i].url);
            return next;
        }
    }
    if (onFocus && current.ticked.size() < 2)
        return {};
    return {file, {file.url}};
}

std::optional<QList<CardFile>> Library::visibleCardFiles(const QString& device) const
{
    const auto files = deviceFiles_.constFind(device);
    if (files == deviceFiles_.cend())
        return std::nullopt;
    return sortedCardFiles(cardFilesMatching(*files, query_), sort_, ascending_);
}

void Library::clickCard(const CardFile& file, const QList<CardFile>& visible, bool command, bool shift)
{
    const CardSelection next =
        clickedCardSelection({selectedCardFile_, selectedCards_}, file, visible, command, shift);
    setSelectedCardFile(next.focus);
    setSelectedCards(next.ticked);
}

QCoro::Task<std::optional<QString>> Library::cardPreview(CardFile file)
{
    const AliveGuard alive(this);
    co_return co_await alive(pools_.run(Priority::userInitiated, [file]() -> std::optional<QString> {
        const std::optional<QString> folder = privateFolder(cardPreviewFolderPath());
        return folder ? ::cardPreview(file, *folder) : std::nullopt;
    }));
}
