#include "Pellmar/media/Posters.h"
#include "Pellmar/media/VideoProxy.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/DocumentThumbnails.h"
#include "Pellmar/media/FfmpegFiles.h"
#include "tests/media/MediaFixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QtEndian>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

double meanGrey(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            sum += grey.constScanLine(y)[x];
    return sum / (grey.width() * grey.height());
}

TEST(Poster, IsTheFrameAtOneSecondOrHalfTheLength)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("poster.jpg"));
    // Ten frames a second, frame n at grey 16 + 6n on the video scale (full scale 6n x 255 / 219):
    // 1 s in is frame 10.
    makePoster(mediaFixture(QStringLiteral("counter.mp4")), output, 2048);
    const QImage poster(output);
    ASSERT_EQ(poster.size(), QSize(160, 90));
    const double frame = meanGrey(poster) * 219.0 / 255.0 / 6;
    EXPECT_NEAR(frame, 10, 0.5);

    makePoster(mediaFixture(QStringLiteral("counter.mp4")), output, 80);
    EXPECT_EQ(QImage(output).size(), QSize(80, 45));
    // A turned track gives an upright poster.
    makePoster(mediaFixture(QStringLiteral("portrait.mov")), output, 2048);
    EXPECT_EQ(QImage(output).size(), QSize(36, 64));
}

// The clip with its track's display matrix set to a, b, c, d (the turn-and-mirror part).
QByteArray withDisplayMatrix(const QByteArray& clip, qint32 a, qint32 b, qint32 c, qint32 d)
{
    QByteArray bytes = clip;
    // In a version 0 track header the matrix starts 40 bytes after the box type.
    const qsizetype matrix = bytes.indexOf("tkhd") + 4 + 40;
    const auto put = [&](int slot, qint32 value) { qToBigEndian(value, bytes.data() + matrix + 4 * slot); };
    put(0, a);
    put(1, b);
    put(3, c);
    put(4, d);
    return bytes;
}

TEST(Poster, TrackThatIsMirroredOrTurnedAndMirroredIsShownUpright)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("poster.jpg"));
    const QByteArray clip = readBytes(mediaFixture(QStringLiteral("corner.mp4")));   // red top left, blue elsewhere
    constexpr qint32 one = 0x10000;
    const struct {
        const char* name;
        qint32 a, b, c, d;
        QSize size;
        QPoint red;   // where the red corner lands
    } cases[] = {{"plain", one, 0, 0, one, {64, 36}, {5, 5}},
                 {"mirrored", -one, 0, 0, one, {64, 36}, {58, 5}},
                 {"turned and mirrored", 0, one, one, 0, {36, 64}, {5, 5}},
                 {"turned", 0, one, -one, 0, {36, 64}, {30, 5}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("clip.mp4"));
        writeBytes(path, withDisplayMatrix(clip, c.a, c.b, c.c, c.d));
        makePoster(path, output, 2048);
        const QImage poster(output);
        ASSERT_EQ(poster.size(), c.size);
        EXPECT_GT(qRed(poster.pixel(c.red)), 200);
        EXPECT_LT(qBlue(poster.pixel(c.red)), 60);
    }
}

TEST(Poster, FailsClearlyWithoutAPicture)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("poster.jpg"));
    const QString noise = dir.filePath(QStringLiteral("noise.mp4"));
    writeBytes(noise, QByteArray(3000, '\x17'));
    const QString truncated = dir.filePath(QStringLiteral("cut.mp4"));
    writeBytes(truncated, readBytes(mediaFixture(QStringLiteral("counter.mp4"))).left(1200));
    for (const QString& path : {mediaFixture(QStringLiteral("audio.m4a")), noise, truncated,
                                dir.filePath(QStringLiteral("missing.mov"))}) {
        EXPECT_THROW(makePoster(path, output, 2048), DatabaseError) << path.toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
    // A decoder that refuses the track's header says why; it is not a missing decoder.
    try {
        makePoster(mediaFixture(QStringLiteral("refused.fli")), output, 2048);
        ADD_FAILURE() << "expected a failure";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("Invalid data found when processing input"));
    }
}

struct ProxyFacts {
    QStringList codecs;
    int width = 0;
    int height = 0;
    bool indexFirst = false;
};

// What the proxy holds, read back with libavformat, and whether its "moov" box precedes "mdat".
ProxyFacts factsOf(const QString& path)
{
    ProxyFacts facts;
    const FormatContext format = openMediaFile(path);
    if (!format || avformat_find_stream_info(format.get(), nullptr) < 0)
        return facts;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* parameters = format->streams[i]->codecpar;
        facts.codecs.append(QString::fromLatin1(avcodec_get_name(parameters->codec_id)));
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            facts.width = parameters->width;
            facts.height = parameters->height;
        }
    }
    const QByteArray bytes = readBytes(path);
    facts.indexFirst = bytes.indexOf("moov") >= 0 && bytes.indexOf("moov") < bytes.indexOf("mdat");
    return facts;
}

class VideoProxyTest : public ::testing::Test {
protected:
    void exportAt(qint64 height, const QString& clip, const std::function<bool()>& isCancelled = {})
    {
        Defaults settings(dir.filePath(QStringLiteral("settings.conf")));
        if (height)
            settings.set(QStringLiteral("videoProxy"), height);
        makeVideoProxy(mediaFixture(clip), output, isCancelled, settings);
    }

    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("ITEM.mp4"));
};

TEST_F(VideoProxyTest, H264AndAacFittedToTheSettingWithTheIndexFirst)
{
    struct Case {
        qint64 setting;
        QString clip;
        QStringList codecs;
        QSize size;
    };
    const QStringList both{QStringLiteral("h264"), QStringLiteral("aac")};
    for (const Case& c : {Case{0, QStringLiteral("hd.mp4"), both, {1280, 720}},
                          Case{720, QStringLiteral("hd.mp4"), both, {1280, 720}},
                          Case{1080, QStringLiteral("hd.mp4"), both, {1920, 1080}},
                          Case{720, QStringLiteral("portrait.mov"), both, {36, 64}},
                          Case{720, QStringLiteral("audio.m4a"), {QStringLiteral("aac")}, {0, 0}}}) {
        SCOPED_TRACE(c.clip.toStdString() + " at " + std::to_string(c.setting));
        exportAt(c.setting, c.clip);
        const ProxyFacts facts = factsOf(output);
        EXPECT_EQ(facts.codecs, c.codecs);
        EXPECT_EQ(QSize(facts.width, facts.height), c.size);
        EXPECT_TRUE(facts.indexFirst);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("ITEM.mp4"), QStringLiteral("settings.conf")}));
}

TEST_F(VideoProxyTest, StoppedOrFailedExportKeepsTheOlderProxyAndNoTemporary)
{
    const QString noise = dir.filePath(QStringLiteral("noise.mov"));
    writeBytes(noise, QByteArray(3000, '\x17'));
    // Its headers intact, its pictures zeroed: the decoder opens and gives no frame.
    const QString blank = dir.filePath(QStringLiteral("blank.mp4"));
    QByteArray clip = readBytes(mediaFixture(QStringLiteral("counter.mp4")));
    const qsizetype box = clip.indexOf("mdat") - 4;
    const qsizetype payload = qFromBigEndian<quint32>(clip.constData() + box) - 8;
    clip.replace(box + 8, payload, QByteArray(payload, '\0'));
    writeBytes(blank, clip);
    writeBytes(output, "an older proxy");
    const struct {
        QString clip;
        int stopAfter;
        QString error;
    } cases[] = {{mediaFixture(QStringLiteral("hd.mp4")), 3, QStringLiteral("export status 5")},
                 {noise, 0, QStringLiteral("no export session")},
                 {blank, 0, QStringLiteral("export status 4")}};
    for (const auto& c : cases) {
        int asked = 0;
        try {
            Defaults settings(dir.filePath(QStringLiteral("settings.conf")));
            makeVideoProxy(c.clip, output, [&] { return c.stopAfter > 0 && ++asked > c.stopAfter; }, settings);
            ADD_FAILURE() << "expected " << c.error.toStdString();
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), c.error);
        }
        EXPECT_EQ(readBytes(output), QByteArray("an older proxy"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{QStringLiteral("blank.mp4"), QStringLiteral("ITEM.mp4"), QStringLiteral("noise.mov")}));
    }
}

// A child process is killed in the middle of an export: the older proxy is intact, and the partial
// file it left goes when a later run next writes a proxy into the folder. Proxies are made with the
// usual permissions.
TEST_F(VideoProxyTest, ExportKilledMidwayLeavesTheOlderProxyAndALaterRunClearsItsTemporary)
{
    writeBytes(output, "an older proxy");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Defaults settings(dir.filePath(QStringLiteral("settings.conf")));
        int asked = 0;
        makeVideoProxy(mediaFixture(QStringLiteral("hd.mp4")), output, [&] {
            if (++asked > 3)
                ::kill(::getpid(), SIGKILL);
            return false;
        }, settings);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readBytes(output), QByteArray("an older proxy"));
    const QStringList left = QDir(dir.path()).entryList(QStringList{QStringLiteral(".ITEM.mp4.*.partial")}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1);

    // A temporary of this run is not touched; one from before this run started is.
    const QString stale = dir.filePath(left.first());
    const QString current = dir.filePath(QStringLiteral(".OTHER.mp4.0123abcd.partial"));
    writeBytes(current, "being written");
    QFile file(stale);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    file.close();

    const mode_t oldMask = ::umask(022);
    exportAt(720, QStringLiteral("portrait.mov"));
    ::umask(oldMask);
    const ProxyFacts facts = factsOf(output);
    EXPECT_EQ(QSize(facts.width, facts.height), QSize(36, 64));
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(current));
    struct stat written {};
    ASSERT_EQ(::stat(QFile::encodeName(output).constData(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0644u);
}

TEST(DocumentThumbnail, FirstPageOfAPdfAndNothingForOtherTypes)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("letter.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        painter.fillRect(QRect(0, 0, writer.width() / 2, writer.height() / 2), Qt::blue);
    }
    const QImage page = quickLookThumbnail(pdf, 256);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.height(), 256);
    EXPECT_LT(page.width(), 256);
    EXPECT_EQ(quarterColourAt(page, 10, 10), QStringLiteral("blue"));
    EXPECT_EQ(quarterColourAt(page, page.width() - 10, page.height() - 10), QStringLiteral("white"));

    const QString unknown = dir.filePath(QStringLiteral("data.xyz"));
    writeBytes(unknown, QByteArray(500, '\x01'));
    EXPECT_TRUE(quickLookThumbnail(unknown, 256).isNull());
    const QString broken = dir.filePath(QStringLiteral("broken.pdf"));
    writeBytes(broken, "%PDF-1.4 and then nothing");
    EXPECT_TRUE(quickLookThumbnail(broken, 256).isNull());
}

// A render stops between the drawing operations of the page once it is stopped or has taken its
// time: a small crafted PDF could otherwise keep the renderer busy for minutes, and Quit waiting.
TEST(DocumentThumbnail, ARenderStopsWhenStoppedOrPastItsDeadline)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("busy.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        for (int i = 0; i < 200; ++i)
            painter.fillRect(QRect(i * 20, i * 20, 400, 400), i % 2 ? Qt::red : Qt::blue);
    }
    EXPECT_FALSE(quickLookThumbnail(pdf, 128).isNull());
    struct Case {
        std::function<bool()> isCancelled;
        std::chrono::milliseconds deadline;
        QString failure;
    };
    for (const Case& c : {Case{[] { return true; }, documentRenderDeadline, QStringLiteral("no decodable image")},
                          Case{{}, std::chrono::milliseconds(0), QStringLiteral("document took too long to render")}}) {
        SCOPED_TRACE(c.failure.toStdString());
        try {
            quickLookThumbnail(pdf, 128, c.isCancelled, c.deadline);
            ADD_FAILURE() << "the render was not stopped";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), c.failure);
        }
    }
}

} // namespace
