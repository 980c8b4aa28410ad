#include "Pellmar/views/device/ImportPlan.h"

#include "Pellmar/library/engine/ImportDestinations.h"
#include "Pellmar/views/kit/Formatters.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ImportSheet", text);
}

// " to …" for the destination, nothing without one.
QString destinationPart(const std::optional<ImportTarget>& target, const QString& folderLabel)
{
    if (!target)
        return {};
    const QString library = QString::fromUtf16(photoLibraryLabel);
    if (const auto* album = std::get_if<PhotosAlbum>(&target->destination))
        return QStringLiteral(" to ") + album->name + QStringLiteral(" in ") + library;
    if (const auto* album = std::get_if<ImportTarget::NewAlbum>(&target->destination))
        return QStringLiteral(" to ") + album->name + QStringLiteral(" in ") + library;
    return QStringLiteral(" to ") + folderLabel;
}

bool photosBound(const std::optional<ImportTarget>& target)
{
    return target && !std::holds_alternative<ImportTarget::Folder>(target->destination);
}

} // namespace

ImportPlan derivePlan(const ImportPlanInput& in)
{
    const QLocale locale;
    ImportPlan plan;
    plan.listed = in.listing.has_value();
    const QList<CardFile> listing = in.listing.value_or(QList<CardFile>());

    for (const CardFile& file : listing)
        if (in.subset.isEmpty() || in.subset.contains(file.url))
            plan.chosen.append(file);

    const bool dropAudio = photosBound(in.target);
    const bool skipping = in.skipKnown && in.known.has_value();
    for (const CardFile& file : plan.chosen) {
        plan.photos += file.kind == MediaKind::photo;
        plan.videos += file.kind == MediaKind::video;
        plan.headerSize += file.size;
        if (dropAudio && file.kind == MediaKind::audio)
            continue;
        if (skipping && in.known->contains(file.url)) {
            ++plan.duplicates;
            continue;
        }
        plan.toCopy.append(file);
        plan.planSize += file.size;
    }

    plan.subtitle = plan.listed ? locale.toString(plan.photos) + tr(" photos, ") + locale.toString(plan.videos) +
                                      tr(" videos, ") + byteCountText(plan.headerSize)
                                : tr("Looking for photos and videos");

    if (in.checking) {
        plan.planLine = tr("Checking which files are already in Quorvin");
    } else {
        plan.planLine = QStringLiteral("Will copy ") + locale.toString(plan.toCopy.size()) + QStringLiteral(" files, ") +
                        byteCountText(plan.planSize) + destinationPart(in.target, in.folderLabel);
        if (in.skipKnown)
            plan.planLine += QStringLiteral(", skipping ") + locale.toString(plan.duplicates) + QStringLiteral(" duplicates");
        if (in.deleteAfter)
            plan.planLine += QStringLiteral(", then delete them from the card");
    }

    plan.canImport = in.target && plan.listed && !(in.skipKnown && !in.known) && !plan.toCopy.isEmpty() &&
                     !in.importRunning;
    return plan;
}
