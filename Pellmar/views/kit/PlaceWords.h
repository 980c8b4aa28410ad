#pragma once

// The words for places and programs of the desktop where the product's own wording names ones a
// Linux desktop does not have. The names of places themselves are in platform/PlaceWords.h.

inline constexpr char16_t showInFilesLabel[] = u"Show in Files";
inline constexpr char16_t openPhotoLibraryLabel[] = u"Open Photo Library";
inline constexpr char16_t thisComputerLabel[] = u"This Computer";
inline constexpr char16_t openInPhotoLibraryLabel[] = u"Open in Photo Library";
