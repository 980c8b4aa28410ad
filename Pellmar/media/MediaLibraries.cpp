#include "Pellmar/media/MediaLibraries.h"

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <vips/vips8>

extern "C" {
#include <libavutil/log.h>
}

#include <mutex>

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
        av_log_set_level(AV_LOG_QUIET);
    });
}
