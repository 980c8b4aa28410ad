// Folders and indexes for the quick-index benchmark (bench/quick.sh):
//   jpegs FOLDER COUNT BASE_JPEG thumbnails|plain
//       COUNT distinct camera-like JPEGs made from BASE_JPEG: each carries its own capture time and
//       unique id in its EXIF data (so each is new content), with camera and lens, and with "thumbnails"
//       a 160 x 120 EXIF thumbnail as cameras write it.
//   synthetic PATH FILES
//       the synthetic index of FILES files at PATH, as the index benchmark makes it.

#include "bench/index_scale/SyntheticIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QBuffer>
#include <QImage>

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <string>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray smallJpeg(const QByteArray& jpeg)
{
    QImage image = QImage::fromData(jpeg).scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return bytes;
}

int makeJpegs(const QString& folder, int count, const QString& basePath, bool thumbnails)
{
    const QByteArray base = readAll(basePath);
    if (base.isEmpty()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(basePath));
        return 1;
    }
    const QByteArray thumbnail = thumbnails ? smallJpeg(base) : QByteArray();
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(base.constData()), long(base.size()));
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Canon";
        exif["Exif.Image.Model"] = "Canon EOS R6";
        exif["Exif.Photo.LensModel"] = "RF24-105mm F4 L IS USM";
        const int seconds = i % 60;
        const int minutes = (i / 60) % 60;
        const int hours = (i / 3600) % 24;
        char date[32];
        std::snprintf(date, sizeof date, "2023:06:%02d %02d:%02d:%02d", 1 + i / 86400 % 28, hours, minutes, seconds);
        exif["Exif.Photo.DateTimeOriginal"] = std::string(date);
        exif["Exif.Photo.ImageUniqueID"] = std::to_string(i);
        exif["Exif.Image.Orientation"] = uint16_t(1);
        if (thumbnails) {
            Exiv2::ExifThumb thumb(exif);
            thumb.setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
        }
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf written = io.read(long(io.size()));
        QFile out(QDir(folder).filePath(QStringLiteral("IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0'))));
        if (!out.open(QIODevice::WriteOnly)
            || out.write(reinterpret_cast<const char*>(written.pData_), qint64(written.size_)) != qint64(written.size_)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QLatin1String("jpegs"))
        return makeJpegs(args[2], args[3].toInt(), args[4], args[5] == QLatin1String("thumbnails"));
    if (args.size() == 4 && args[1] == QLatin1String("synthetic")) {
        SyntheticIndex::generate(args[2], args[3].toLongLong());
        return 0;
    }
    std::fprintf(stderr, "usage: %s jpegs FOLDER COUNT BASE_JPEG thumbnails|plain\n"
                         "       %s synthetic PATH FILES\n", argv[0], argv[0]);
    return 2;
}
