#include "Pellmar/media/MediaLibraries.h"

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <vips/vips8>

extern "C" {
#include <libavutil/log.h>
}

#include <malloc.h>

#include <mutex>

namespace {

// JPEG XL, JPEG 2000, OpenEXR, Radiance HDR and the portable pixmaps.
constexpr const char* photoLoadersOutsideTrusted[] = {"VipsForeignLoadJxl", "VipsForeignLoadJp2k",
                                                      "VipsForeignLoadOpenexr", "VipsForeignLoadRad",
                                                      "VipsForeignLoadPpm"};

} // namespace

void initMediaLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
        Exiv2::XmpParser::initialize();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        heif_init(nullptr);
        VIPS_INIT("quorvin");
        // Cached operations would keep decoded images of files that are never asked for again.
        vips_cache_set_max(0);
        // libvips picks a loader by a file's content, and its untrusted loaders run large foreign
        // libraries in this process (ImageMagick, poppler, librsvg, cfitsio, OpenSlide) on files
        // that strangers made. They stay blocked; only those that read photo formats of their own
        // are let through again, and photoLoader (VipsImages.h) uses them only for their own types.
        vips_block_untrusted_set(TRUE);
        for (const char* loader : photoLoadersOutsideTrusted)
            vips_operation_block_set(loader, FALSE);
        av_log_set_level(AV_LOG_QUIET);
        // Pictures are decoded on many threads, each allocating from an arena of its own. With
        // glibc's adaptive threshold, a freed picture buffer stays in its thread's arena for the
        // next allocation there, and a grid's decoding threads held several hundred megabytes
        // this way. Mapping every block of a megabyte or more for each use instead made each
        // decode fault in all its buffers again, which cost more than the HEVC decode itself.
        // So the threads share a few arenas, each keeping at most a decode's buffers for the next.
        mallopt(M_ARENA_MAX, 4);
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
    });
}
