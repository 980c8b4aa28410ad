#include "Pellmar/media/HeifFiles.h"

#include "Pellmar/index/RegularFiles.h"

#include <QFile>

bool isHeif(const QByteArray& firstBytes)
{
    const auto result = heif_check_filetype(reinterpret_cast<const uint8_t*>(firstBytes.constData()),
                                            int(firstBytes.size()));
    return result == heif_filetype_yes_supported || result == heif_filetype_yes_unsupported;
}

HeifContext openHeif(const QString& path, const std::optional<QByteArray>& head)
{
    HeifContext context(heif_context_alloc());
    if (head
        && heif_context_read_from_memory_without_copy(context.get(), head->constData(), size_t(head->size()), nullptr)
                   .code
            == heif_error_Ok)
        return context;
    if ((head && !QFile::exists(path)) || isSpecialFile(path))
        return nullptr;
    context.reset(heif_context_alloc());
    if (heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr).code != heif_error_Ok)
        return nullptr;
    return context;
}

HeifHandle primaryHeifImage(heif_context* context)
{
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context, &primary).code != heif_error_Ok)
        return nullptr;
    return HeifHandle(primary);
}
