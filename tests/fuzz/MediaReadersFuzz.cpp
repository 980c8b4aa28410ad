// libFuzzer target over the readers of untrusted media files: the JPEG segment walk (EXIF
// thumbnail and orientation), the TIFF first-directory preview, image metadata (exiv2, libheif),
// embedded thumbnails (libheif, LibRaw) and container metadata (FFmpeg).
//
// Not part of the regular build. With the compiler and runtimes that scripts/setup installs
// (clang-16, libclang-rt-16-dev, libomp-16-dev), from the repository:
//   CC=clang-16 CXX=clang++-16 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
//     -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" && ninja -C build-fuzz pellmar_media
//   clang++-16 -std=c++20 -fPIC -g -O1 -fsanitize=fuzzer,address,undefined -I. tests/fuzz/MediaReadersFuzz.cpp \
//     build-fuzz/Pellmar/media/libpellmar_media.a build-fuzz/Pellmar/platform/libpellmar_platform.a \
//     build-fuzz/Pellmar/index/libpellmar_index.a \
//     $(pkg-config --cflags --libs Qt6Core Qt6Gui Qt6DBus vips-cpp exiv2 libraw_r libavformat libavcodec \
//       libavutil libheif sqlite3 libcrypto x11 xscrnsaver gio-2.0 mount libudev) \
//     -o build-fuzz/media-fuzz
//   mkdir -p build-fuzz/corpus && build-fuzz/media-fuzz -max_total_time=60 -max_len=65536 build-fuzz/corpus
// Seed the corpus with a few small JPEG, HEIC, TIFF and MP4 files to reach deeper paths sooner.

#include "Pellmar/index/Database.h"
#include "Pellmar/media/MediaInfo.h"
#include "Pellmar/media/Thumbnails.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

QString scratchPath(const char* name)
{
    return QDir::temp().filePath(QStringLiteral("quorvin-fuzz-%1-%2").arg(::getpid()).arg(QLatin1String(name)));
}

void writeScratch(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    exifThumbnail(bytes);
    exifOrientation(bytes);
    readImageMetadata(QStringLiteral("fuzz.jpg"), bytes);

    const QString output = scratchPath("out.jpg");
    for (const char* name : {"in.jpg", "in.heic", "in.dng", "in.mp4"}) {
        const QString path = scratchPath(name);
        writeScratch(path, bytes);
        try {
            makeThumbnail(path, bytes, output);
        } catch (const DatabaseError&) {
            // A failed write of a decoded preview is an answer, not a fault.
        }
        QFile::remove(path);
    }
    const QString path = scratchPath("in.mov");
    writeScratch(path, bytes);
    tiffPreview(path, 256);
    readImageMetadata(path);
    readVideoMetadata(path);
    QFile::remove(path);
    QFile::remove(output);
    return 0;
}
