#include "Pellmar/media/DocumentThumbnails.h"

#include "Pellmar/index/RegularFiles.h"

#include <QMimeDatabase>
#include <QMimeType>

#include <poppler-qt6.h>

#include <algorithm>

namespace {

constexpr double pointsPerInch = 72.0;

QImage pdfFirstPage(const QString& path, double side)
{
    if (isSpecialFile(path))
        return {};
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1)
        return {};
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return {};
    const QSizeF size = page->pageSizeF();
    const double longer = std::max(size.width(), size.height());
    if (longer <= 0)
        return {};
    const double resolution = pointsPerInch * side / longer;
    return page->renderToImage(resolution, resolution);
}

} // namespace

QImage quickLookThumbnail(const QString& path, double side)
{
    if (side < 1)
        return {};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    if (type.inherits(QStringLiteral("application/pdf")))
        return pdfFirstPage(path, side);
    return {};
}
