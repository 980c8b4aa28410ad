#pragma once

// Opening HEIF files (HEIC, AVIF) with libheif, from the head of a file or from the file.

#include <QByteArray>
#include <QString>

#include <libheif/heif.h>

#include <memory>
#include <optional>

struct HeifContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct HeifImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
using HeifContext = std::unique_ptr<heif_context, HeifContextDeleter>;
using HeifHandle = std::unique_ptr<heif_image_handle, HeifHandleDeleter>;
using HeifImage = std::unique_ptr<heif_image, HeifImageDeleter>;

// Whether the bytes (the first few dozen of a file suffice) begin a HEIF file.
bool isHeif(const QByteArray& firstBytes);

// The context of the HEIF data in `head` (which must outlive it), or of the file at `path` when
// there is no head or libheif cannot read the head alone; null when neither opens.
HeifContext openHeif(const QString& path, const std::optional<QByteArray>& head);

// The primary image of an open context; null when it has none.
HeifHandle primaryHeifImage(heif_context* context);
