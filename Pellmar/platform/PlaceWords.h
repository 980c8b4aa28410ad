#pragma once

// The words for places and programs of this computer where the product's own wording names ones
// a Linux desktop does not have. The views' words of the same kind are in views/kit/PlaceWords.h.
// Stored values keep the product's wording where an upgrade step relies on them.

// The home folder's source.
inline constexpr char16_t thisComputerName[] = u"This Computer";
// The photo library stand-in, and its source.
inline constexpr char16_t photoLibraryLabel[] = u"Photo Library";
