#pragma once

// HEIF photos decoded for a picture smaller than they are. The decoder gives the image's YCbCr
// planes, which are averaged down by a whole factor before they are turned into RGB: a grid
// tile's picture then costs the HEVC decode and little more, where libheif's own conversion to
// RGB at full size and libvips' copies of it cost as much again. Only the media layer's sources
// include this header.

#include <QString>

#include <vips/vips8>

#include <functional>
#include <optional>

// What a decoded picture is scaled to: inside `width` x `height`, or covering it (then cut).
struct PictureBox {
    int width = 0;
    int height = 0;
    bool cover = false;

    // The scale that brings a `imageWidth` x `imageHeight` picture to the box, at most 1.
    double scaleFor(int imageWidth, int imageHeight) const;
};

// The primary image of the HEIF file at `path`, upright (its rotation, mirroring and crop
// applied), in 8-bit sRGB with three bands and its ICC profile attached when it carries one,
// averaged down so that at least a factor of two is left to reach `box`. Nothing when the file
// is of a kind this path leaves to libvips (an alpha channel, more than 8 bits, RGB or unknown
// planes, colour matrices derived from primaries) or cannot be opened. Throws DatabaseError
// "no decodable image" when the image fails to decode, tooLargeImageText (DecodeBudget.h) when it
// declares more pixels than a decode may take, or once `isCancelled` answers true
// between the steps of the decode.
std::optional<vips::VImage> decodeHeifShrunk(const QString& path, const PictureBox& box,
                                             const std::function<bool()>& isCancelled);
