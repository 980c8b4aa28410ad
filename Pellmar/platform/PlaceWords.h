#pragma once

#include <QString>

// The words for places and programs of this computer where the product's own wording names ones
// a Linux desktop does not have. The views' words of the same kind are in views/kit/PlaceWords.h.
// Stored values keep the product's wording where an upgrade step relies on them.

// The home folder's source.
inline constexpr char16_t thisComputerName[] = u"This Computer";
// The photo library stand-in, and its source.
inline constexpr char16_t photoLibraryLabel[] = u"Photo Library";

// Why the photo library source cannot be scanned, and what turns its access on: the stand-in has no
// privacy setting of its own, only the permissions of the folder it is kept in.
inline QString photoAccessOff()
{
    return QString::fromUtf16(photoLibraryLabel)
        + QStringLiteral(" access is off. Turn it on by letting Quorvin read and write the Photo Library's folder, "
                         "then scan it again.");
}
