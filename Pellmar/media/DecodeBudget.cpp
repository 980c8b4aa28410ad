#include "Pellmar/media/DecodeBudget.h"

#include "Pellmar/index/Database.h"

bool withinPixelBudget(qint64 width, qint64 height)
{
    // Each side is bounded first, so that the product cannot overflow.
    return width > 0 && height > 0 && width <= largestDecodedPixels && height <= largestDecodedPixels
        && width * height <= largestDecodedPixels;
}

void requirePixelBudget(qint64 width, qint64 height)
{
    if (width < 1 || height < 1)
        throw DatabaseError(QStringLiteral("no decodable image"));
    if (!withinPixelBudget(width, height))
        throw DatabaseError(QString::fromLatin1(tooLargeImageText));
}
