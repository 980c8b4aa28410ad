#pragma once

// Sets up the media libraries once per process (thread-safe, cheap after the first call):
// exiv2 with ISO-BMFF (HEIF) support and its XMP parser, libheif, libvips with its operation
// cache off and its untrusted loaders blocked but those of photo formats, and FFmpeg's log
// silenced, since bad input is reported by results. Large memory blocks (decoded pictures) go
// back to the system when freed.
void initMediaLibraries();
