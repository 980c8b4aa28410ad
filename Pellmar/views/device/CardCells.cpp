#include "Pellmar/views/device/CardCells.h"

#include "Pellmar/views/kit/Formatters.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace cards {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CardGrid", text);
}

} // namespace

QString placeholderSymbol(MediaKind kind)
{
    switch (kind) {
    case MediaKind::video: return QStringLiteral("film");
    case MediaKind::audio: return QStringLiteral("waveform");
    default: return QStringLiteral("photo");
    }
}

grid::Cell cardCell(const CardFile& file, bool selected, const std::optional<QString>& preview)
{
    grid::Cell cell;
    cell.id = file.url;
    cell.name = QFileInfo(file.url).fileName();
    cell.caption = kindWord(file.kind) + QStringLiteral(", ") + byteCountText(file.size);
    cell.content = grid::TileContent::picture;
    cell.picturePath = preview;
    if (!preview)
        cell.placeholderSymbol = placeholderSymbol(file.kind);
    cell.selected = selected;
    return cell;
}

Overlay overlay(const std::optional<QList<CardFile>>& visible, const QString& query, const QString& deviceName)
{
    if (!visible)
        return {Overlay::Kind::looking, tr("Looking for photos and videos"), {}, {}};
    if (!visible->isEmpty())
        return {};
    if (query.isEmpty())
        return {Overlay::Kind::nothingOnCard, tr("Nothing on ") + deviceName, QStringLiteral("sdcard"),
                tr("Import appears here when the card has photos or videos.")};
    return {Overlay::Kind::noMatches, tr("No matches"), QStringLiteral("sdcard"), {}};
}

} // namespace cards
