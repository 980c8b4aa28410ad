#pragma once

// Small JPEG previews taken from the previews a camera file already carries (the EXIF thumbnail
// of a JPEG, the thumbnail of a HEIF image, the preview of a RAW file), found without decoding the
// photo itself; and the image-file writer shared with the larger previews.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Longest side of a small preview, in pixels.
inline constexpr int smallPreviewSize = 2048;

// Writes a JPEG of the file's embedded preview to `output`, upright. `head` is the start of the
// file, as long as headByteBudget says. False, with nothing written, when the file carries no
// usable preview; throws DatabaseError "cannot create proxy" or "proxy write failed" when writing
// fails. Blocks on the file.
bool makeThumbnail(const QString& path, const QByteArray& head, const QString& output);

// The bytes of the EXIF thumbnail inside the head of a JPEG file, or nothing.
std::optional<QByteArray> exifThumbnail(const QByteArray& head);

// The EXIF orientation (1 to 8) of the photo whose JPEG head this is; nothing when it has none.
std::optional<int> exifOrientation(const QByteArray& head);

// The upright reduced-resolution JPEG that the first image directory of a TIFF-structured RAW
// file describes, at most `maxPixelSize` on its longer side; nothing when there is none.
std::optional<QImage> tiffPreview(const QString& path, int maxPixelSize);

// The largest preview that LibRaw finds in a RAW file (read without developing the RAW data),
// upright and at most `maxPixelSize` on its longer side; nothing when there is none.
std::optional<QImage> rawEmbeddedPreview(const QString& path, int maxPixelSize);

// The image turned by EXIF orientation `orientation` (1 to 8; other values leave it as it is).
QImage applyOrientation(const QImage& image, int orientation);

enum class ImageFileType { jpeg, heic };

// Encodes `image` as JPEG or HEIC at `quality` (0 to 1) and replaces `output` with it in one
// rename, so a failed write leaves no partial file. Throws DatabaseError "cannot create proxy"
// when the output cannot be created and "proxy write failed" when encoding or writing fails.
void writeImageFile(const QImage& image, const QString& output, ImageFileType type, double quality);
