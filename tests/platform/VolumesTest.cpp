#include "Pellmar/platform/Volumes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Volumes, EveryExistingPathLiesOnANamedVolume)
{
    QTemporaryDir dir;
    const std::optional<MountedVolume> root = Volumes::system().volumeOf(QStringLiteral("/"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->url, QStringLiteral("/"));
    EXPECT_FALSE(root->name.isEmpty());

    const std::optional<MountedVolume> temporary = Volumes::system().volumeOf(dir.path());
    ASSERT_TRUE(temporary);
    EXPECT_TRUE(dir.path().startsWith(temporary->url));
    EXPECT_FALSE(temporary->name.isEmpty());

    EXPECT_FALSE(Volumes::system().volumeOf(dir.path() + QStringLiteral("/missing")));
}

TEST(Volumes, MountedListLeavesOutKernelFileSystems)
{
    for (const MountedVolume& volume : Volumes::system().mounted()) {
        EXPECT_NE(volume.url, QStringLiteral("/proc"));
        EXPECT_NE(volume.url, QStringLiteral("/sys"));
        EXPECT_FALSE(volume.name.isEmpty()) << volume.url.toStdString();
    }
}

TEST(Volumes, UnlabelledVolumeIsNamedAfterItsMountFolder)
{
    EXPECT_EQ(mountFolderName(QStringLiteral("/media/anna/My Card")), QStringLiteral("My Card"));
    EXPECT_EQ(mountFolderName(QStringLiteral("/")), QStringLiteral("/"));
}

} // namespace
