#include "Pellmar/media/ScanningRules.h"

#include "tests/media/FakeVolumes.h"
#include "tests/media/TestTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

Source folderSource(const QString& root, const QString& volumeUUID = {}, const QString& volumeName = {})
{
    Source source;
    source.id = QStringLiteral("S");
    source.rootPath = root;
    source.volumeUUID = volumeUUID;
    source.volumeName = volumeName;
    return source;
}

struct PathCase {
    const char* relativePath;
    bool indexed;
};

TEST(ShouldIndexPath, RefusesDotSkippedLibraryAndProjectComponentsAtAnyDepth)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.files({QStringLiteral("work/app/package.json"), QStringLiteral("work/photo.jpg")});
    const Source source = folderSource(dir.path());

    const PathCase cases[] = {
        {"", true},
        {"a/b/photo.jpg", true},
        {"a//b/", true},
        {".hidden", false},
        {"a/b/.thumbnails/c", false},
        {"a/.DS_Store", false},
        {"Caches", false},
        {"a/cache/b", false},
        {"User Data", false},
        {"node_modules/x", false},
        {"CACHE", true},          // only the listed spellings are skipped
        {"caches", true},
        {"a/Family.photoslibrary/originals", false},
        {"Catalog.LRLIBRARY", false},
        {"work", true},           // holds a project, is none
        {"work/photo.jpg", true},
        {"work/app", false},      // the project folder itself
        {"work/app/src/main.c", false},
    };
    for (const PathCase& test : cases)
        EXPECT_EQ(shouldIndexPath(QString::fromUtf8(test.relativePath), source), test.indexed) << test.relativePath;
}

TEST(ShouldIndexPath, RootThatIsAProjectRefusesEverything)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.folder(QStringLiteral(".git"));
    tree.file(QStringLiteral("photos/a.jpg"));
    EXPECT_FALSE(shouldIndexPath(QString(), folderSource(dir.path())));
    EXPECT_FALSE(shouldIndexPath(QStringLiteral("photos"), folderSource(dir.path())));
}

TEST(ShouldIndexPath, PhotoLibrarySourceIndexesNoPath)
{
    Source source = folderSource(QStringLiteral("/"));
    source.kind = SourceKind::photos;
    EXPECT_FALSE(shouldIndexPath(QString(), source));
    EXPECT_FALSE(shouldIndexPath(QStringLiteral("Album/ABC"), source));
}

TEST(ShouldIndexPath, HomeSourceIndexesOnlyTheMediaFolders)
{
    ASSERT_EQ(homePath(), QDir::cleanPath(QString::fromLocal8Bit(qgetenv("HOME"))));
    const Source home = folderSource(homePath());
    const PathCase cases[] = {
        {"", true},
        {"Pictures", true},
        {"Desktop/x.png", true},
        {"Downloads", true},
        {"Movies", true},
        {"Videos/clip.mp4", true},
        {"Documents", true},
        {"Library", false},
        {"Music", false},
        {"pictures", false},
        {"notes.txt", false},
    };
    for (const PathCase& test : cases)
        EXPECT_EQ(shouldIndexPath(QString::fromUtf8(test.relativePath), home), test.indexed) << test.relativePath;
}

TEST(IsSourceAvailable, NeedsAFolderOnTheVolumeItWasAddedFrom)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.file(QStringLiteral("file.jpg"));
    const FakeVolumes volumes({MountedVolume{QStringLiteral("/"), QStringLiteral("/dev/sda1"), QStringLiteral("ROOT-UUID"), QStringLiteral("/"), false},
                               MountedVolume{dir.path(), QStringLiteral("/dev/sdb1"), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"), true}});

    EXPECT_TRUE(isSourceAvailable(folderSource(dir.path()), volumes));
    EXPECT_TRUE(isSourceAvailable(folderSource(dir.path(), QStringLiteral("CARD-UUID")), volumes));
    EXPECT_FALSE(isSourceAvailable(folderSource(dir.path(), QStringLiteral("OTHER-UUID")), volumes));
    EXPECT_FALSE(isSourceAvailable(folderSource(tree.path(QStringLiteral("file.jpg"))), volumes));
    EXPECT_FALSE(isSourceAvailable(folderSource(tree.path(QStringLiteral("gone"))), volumes));

    const FakeVolumes unreadable({});
    EXPECT_FALSE(isSourceAvailable(folderSource(dir.path(), QStringLiteral("CARD-UUID")), unreadable));
}

// A volume whose UUID cannot be read (no udev database, a network share, tmpfs) is known by its
// name: unmounted, its empty mount folder lies on the volume that held it and must not count.
TEST(IsSourceAvailable, VolumeWithoutUuidMustStillBeMountedUnderTheRoot)
{
    QTemporaryDir dir;
    const MountedVolume system{QStringLiteral("/"), QStringLiteral("/dev/sda1"), {}, QStringLiteral("/"), false};
    const MountedVolume share{dir.path(), QStringLiteral("nas:/photos"), {}, QStringLiteral("share"), false};
    const Source onShare = folderSource(dir.path(), {}, QStringLiteral("share"));

    EXPECT_TRUE(isSourceAvailable(onShare, FakeVolumes({system, share})));
    EXPECT_FALSE(isSourceAvailable(onShare, FakeVolumes({system})));   // unmounted: the empty mount folder
    EXPECT_TRUE(isSourceAvailable(folderSource(dir.path(), {}, QStringLiteral("/")), FakeVolumes({system})));
    EXPECT_TRUE(isSourceAvailable(folderSource(dir.path()), FakeVolumes({system})));   // nothing recorded
}

// A volume without a UUID is recorded by what the mount table says of it, and only a volume of the
// same mount source, file system type and name is taken for it.
TEST(IsSourceAvailable, VolumeWithoutUuidIsTheOneOfTheSameMountSourceTypeAndName)
{
    QTemporaryDir dir;
    const MountedVolume system{.url = QStringLiteral("/"), .device = QStringLiteral("/dev/sda1"), .name = QStringLiteral("/"), .type = QStringLiteral("ext4")};
    const MountedVolume share{.url = dir.path(), .device = QStringLiteral("nas:/photos"), .name = QStringLiteral("share"), .type = QStringLiteral("nfs")};
    const VolumeIdentity recorded = volumeIdentity(dir.path(), FakeVolumes({system, share}));
    EXPECT_EQ(recorded, (VolumeIdentity{QStringLiteral("mount:nfs:nas:/photos"), QStringLiteral("share"), dir.path()}));
    const Source onShare = folderSource(dir.path(), recorded.uuid, recorded.name);

    const auto with = [&](auto change) {
        MountedVolume other = share;
        change(other);
        return FakeVolumes({system, other});
    };
    const struct {
        const char* mounted;
        FakeVolumes volumes;
        bool available;
    } cases[] = {
        {"the same share", FakeVolumes({system, share}), true},
        {"another share on the same folder", with([](MountedVolume& v) { v.device = QStringLiteral("nas:/other"); }), false},
        {"the same source as another type", with([](MountedVolume& v) { v.type = QStringLiteral("cifs"); }), false},
        {"the same source under another name", with([](MountedVolume& v) { v.name = QStringLiteral("other"); }), false},
        {"nothing: the empty mount folder", FakeVolumes({system}), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isSourceAvailable(onShare, c.volumes), c.available) << c.mounted;
}

TEST(VolumeIdentity, IsEmptyWhenTheVolumeCannotBeRead)
{
    EXPECT_EQ(volumeIdentity(QStringLiteral("/no/such/path/anywhere")), VolumeIdentity{});
    const FakeVolumes volumes({MountedVolume{QStringLiteral("/media/u/CARD"), {}, QStringLiteral("U1"), QStringLiteral("CARD"), true}});
    EXPECT_EQ(volumeIdentity(QStringLiteral("/media/u/CARD/DCIM"), volumes), (VolumeIdentity{QStringLiteral("U1"), QStringLiteral("CARD"), QStringLiteral("/media/u/CARD")}));
    EXPECT_EQ(volumeIdentity(QStringLiteral("/home"), volumes), VolumeIdentity{});
}

TEST(MediaKindForExtension, ByLowerCasedExtension)
{
    const struct {
        const char* path;
        std::optional<MediaKind> kind;
    } cases[] = {
        {"/a/IMG_1.CR3", MediaKind::photo},
        {"/a/b.nef", MediaKind::photo},
        {"/a/b.heic", MediaKind::photo},
        {"/a/b.JPG", MediaKind::photo},
        {"/a/b.jpe", MediaKind::photo},
        {"/a/b.JFIF", MediaKind::photo},
        {"/a/b.png", MediaKind::photo},
        {"/a/DSCF0001.MPO", MediaKind::photo},   // photo formats the MIME database does not know
        {"/a/b.jps", MediaKind::photo},
        {"/a/b.apng", MediaKind::photo},
        {"/a/b.hdr", MediaKind::photo},
        {"/a/b.psb", MediaKind::photo},
        {"/a/b.btf", MediaKind::photo},
        {"/a/b.mov", MediaKind::video},
        {"/a/b.mp4", MediaKind::video},
        {"/a/b.MTS", MediaKind::video},
        {"/a/b.m4a", MediaKind::audio},
        {"/a/b.mp3", MediaKind::audio},
        {"/a/list.m3u8", std::nullopt},   // playlists name media and hold none
        {"/a/LIST.M3U", std::nullopt},
        {"/a/radio.pls", std::nullopt},
        {"/a/b.asx", std::nullopt},
        {"/a/b.pdf", std::nullopt},
        {"/a/b.txt", std::nullopt},
        {"/a/README", std::nullopt},
        {"/a.mp4/README", std::nullopt},
        {"/a/.mp4", std::nullopt},
    };
    for (const auto& test : cases)
        EXPECT_EQ(mediaKindForExtension(QString::fromUtf8(test.path)), test.kind) << test.path;
}

} // namespace
