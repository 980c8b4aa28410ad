#include "Pellmar/library/Library.h"

#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/library/frame/AliveGuard.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/ImageDecoding.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/platform/SharePicker.h"

#include <QCoroFuture>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// Pictures on the clipboard are the preview files as they are: never enlarged, never cut down.
constexpr int pastedImageSide = 1 << 14;

} // namespace

std::optional<PasteboardObject> Library::pasteboardObject(const Item& item) const
{
    const QList<Location> copies = locationsOf(item);
    // The copy found off the GUI thread; writePasteboard leaves out a file that has gone since.
    if (const std::optional<Location> copy = fileFactsOf(item).reachable; copy && copy->local) {
        if (const std::optional<QString> path = url(*copy))
            return PasteboardObject{PasteboardObject::Kind::file, *path};
    }
    const bool inPhotoLibrary = std::any_of(copies.cbegin(), copies.cend(),
                                            [](const Location& copy) { return !copy.assetID.isEmpty(); });
    if (inPhotoLibrary) {
        if (const std::optional<QString> image = imageURL(item))
            return PasteboardObject{PasteboardObject::Kind::image, *image};
    }
    return std::nullopt;
}

void Library::copySelection()
{
    if (selectedIDs_.size() >= 2)
        copySelectedItems();
    else if (selection_)
        copyItem(*selection_);
}

void Library::copyItem(const Item& item)
{
    if (const std::optional<PasteboardObject> object = pasteboardObject(item))
        Tasks::start(writePasteboard({*object}));
}

void Library::copySelectedItems()
{
    QList<PasteboardObject> objects;
    for (const Item& item : selectedItems()) {
        if (const std::optional<PasteboardObject> object = pasteboardObject(item))
            objects.append(*object);
    }
    if (!objects.isEmpty())
        Tasks::start(writePasteboard(objects));
}

QCoro::Task<> Library::writePasteboard(QList<PasteboardObject> objects)
{
    const AliveGuard alive(this);
    QStringList files;
    QStringList imageFiles;
    for (const PasteboardObject& object : objects)
        (object.kind == PasteboardObject::Kind::file ? files : imageFiles).append(object.path);
    const auto [existing, images] = co_await alive(pools_.run(Priority::userInitiated, [files, imageFiles] {
        QStringList found;
        for (const QString& path : files) {
            if (QFileInfo::exists(path))
                found.append(path);
        }
        QList<QImage> decoded;
        for (const QString& path : imageFiles) {
            try {
                if (QImage image = decodePhoto(path, pastedImageSide); !image.isNull())
                    decoded.append(image);
            } catch (...) {
                // A preview that cannot be read gives nothing to paste.
            }
        }
        return std::pair(found, decoded);
    }));
    // When nothing could be read, the clipboard keeps what it held.
    if (!existing.isEmpty() || !images.isEmpty())
        desktop_->copyObjects(existing, images);
}

void Library::share(const QStringList& filePaths, const QString& anchorKey)
{
    if (!sharePicker_)
        return;
    std::optional<QRect> at;
    if (const QPointer<ShareAnchor> anchor = anchors.value(anchorKey))
        at = anchor->screenRect();
    if (picker)
        picker->deleteLater();
    picker = sharePicker_->show(filePaths, at);
}
