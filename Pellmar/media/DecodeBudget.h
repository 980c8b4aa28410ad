#pragma once

// What one decode may take. Pictures come from strangers (downloads, shared cards, mail), and a
// file of a few kilobytes can declare billions of pixels: every decoder reads the size a picture
// declares first and refuses it, before a byte of it is allocated, when it is over the budget.

#include <QtGlobal>

// The most pixels one decode makes (800 MB at four bytes a pixel).
inline constexpr qint64 largestDecodedPixels = 200'000'000;

// The failure of a photo that declares more pixels than that.
inline constexpr char tooLargeImageText[] = "image larger than 200 megapixels";

// Whether a picture that declares `width` x `height` may be decoded: two positive sides whose
// product is within the budget.
bool withinPixelBudget(qint64 width, qint64 height);

// Throws DatabaseError "no decodable image" for a side that is not positive and tooLargeImageText
// for a picture over the budget.
void requirePixelBudget(qint64 width, qint64 height);
