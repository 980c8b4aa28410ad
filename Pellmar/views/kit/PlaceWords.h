#pragma once

// The words for places and programs of the desktop where the product's own wording names ones a
// Linux desktop does not have. The photo library's own name is photoLibraryLabel
// (library/engine/ImportDestinations.h).

inline constexpr char16_t showInFilesLabel[] = u"Show in Files";
inline constexpr char16_t openPhotoLibraryLabel[] = u"Open Photo Library";
inline constexpr char16_t thisComputerLabel[] = u"This Computer";
