#include "Pellmar/views/device/DevicePanelRules.h"

#include "Pellmar/views/kit/Formatters.h"

#include <QCoreApplication>
#include <QLocale>

namespace cards {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DevicePanel", text);
}

} // namespace

QString usageText(const Device& device)
{
    return byteCountText(device.capacity - device.available) + tr(" used of ") + byteCountText(device.capacity);
}

DeviceFacts deviceFacts(const std::optional<QList<CardFile>>& listing)
{
    if (!listing)
        return {};
    const QLocale locale;
    qint64 photos = 0;
    qint64 videos = 0;
    qint64 audio = 0;
    qint64 size = 0;
    for (const CardFile& file : *listing) {
        photos += file.kind == MediaKind::photo;
        videos += file.kind == MediaKind::video;
        audio += file.kind == MediaKind::audio;
        size += file.size;
    }
    DeviceFacts facts{true, {{tr("Photos"), locale.toString(photos)}, {tr("Videos"), locale.toString(videos)}}, !listing->isEmpty()};
    if (audio > 0)
        facts.facts.append({tr("Audio"), locale.toString(audio)});
    facts.facts.append({tr("Size"), byteCountText(size)});
    return facts;
}

QList<Fact> cardFileFacts(const CardFile& file, std::optional<double> captured)
{
    return {{tr("Kind"), kindWord(file.kind)},
            {tr("Size"), byteCountText(file.size)},
            {tr("Captured"), longDateTimeText(captured.value_or(file.modified))}};
}

GroupSummary groupSummary(const QList<CardFile>& listing, const QSet<QString>& ticked, const QString& deviceName)
{
    const QLocale locale;
    qint64 count = 0;
    qint64 photos = 0;
    qint64 videos = 0;
    qint64 size = 0;
    for (const CardFile& file : listing) {
        if (!ticked.contains(file.url))
            continue;
        ++count;
        photos += file.kind == MediaKind::photo;
        videos += file.kind == MediaKind::video;
        size += file.size;
    }
    return {locale.toString(count) + tr(" files selected"),
            tr("On ") + deviceName + QStringLiteral(", ") + locale.toString(photos) + tr(" photos, ") +
                locale.toString(videos) + tr(" videos, ") + byteCountText(size)};
}

} // namespace cards
