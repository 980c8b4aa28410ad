#include "Pellmar/media/DocumentThumbnails.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/index/RegularFiles.h"

#include <QDeadlineTimer>
#include <QMimeDatabase>
#include <QMimeType>
#include <QVariant>

#include <poppler-qt6.h>

#include <algorithm>

namespace {

constexpr double pointsPerInch = 72.0;

// Asked by poppler between the drawing operations of a page.
struct RenderLimits {
    const std::function<bool()>* isCancelled = nullptr;
    QDeadlineTimer deadline;
    bool cancelled = false;
    bool late = false;
};

bool shouldStopRender(const QVariant& payload)
{
    auto* limits = reinterpret_cast<RenderLimits*>(payload.value<quintptr>());
    limits->cancelled = limits->cancelled || (*limits->isCancelled && (*limits->isCancelled)());
    limits->late = limits->late || limits->deadline.hasExpired();
    return limits->cancelled || limits->late;
}

QImage pdfFirstPage(const QString& path, double side, const std::function<bool()>& isCancelled,
                    std::chrono::milliseconds deadline)
{
    if (isSpecialFile(path))
        return {};
    RenderLimits limits{.isCancelled = &isCancelled, .deadline = QDeadlineTimer(deadline)};
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
    QImage image = page->renderToImage(resolution, resolution, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                                       shouldStopRender, QVariant::fromValue(reinterpret_cast<quintptr>(&limits)));
    if (limits.cancelled)
        throw DatabaseError(QStringLiteral("no decodable image"));
    if (limits.late)
        throw DatabaseError(QStringLiteral("document took too long to render"));
    return image;
}

} // namespace

QImage quickLookThumbnail(const QString& path, double side, const std::function<bool()>& isCancelled,
                          std::chrono::milliseconds deadline)
{
    if (side < 1)
        return {};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    if (type.inherits(QStringLiteral("application/pdf")))
        return pdfFirstPage(path, side, isCancelled, deadline);
    return {};
}
