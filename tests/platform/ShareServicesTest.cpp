#include "Pellmar/platform/ShareServices.h"
#include "tests/library/FakeDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Service = ShareServices::Service;

TEST(ShareServicesTest, EmailIsOfferedOnlyWithItsProgram)
{
    const auto desktop = std::make_shared<FakeDesktop>();
    EXPECT_EQ(ShareServices(desktop, QString(), {}).available(), QList<Service>{Service::copy});
    EXPECT_EQ(ShareServices(desktop, QStringLiteral("/usr/bin/xdg-email"), {}).available(),
              (QList<Service>{Service::copy, Service::email}));
    EXPECT_EQ(ShareServices::title(Service::copy), QStringLiteral("Copy"));
    EXPECT_EQ(ShareServices::title(Service::email), QStringLiteral("Email"));
}

// The mail program decodes escapes and commas in what it is given: it sees neutrally named links
// in a private folder, never a user's file name.
TEST(ShareServicesTest, CopyPutsTheFilesOnTheClipboardAndEmailAttachesNeutrallyNamedLinks)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("xdg-email"));
    const QString record = dir.filePath(QStringLiteral("arguments"));
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n").arg(record).toUtf8());
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QString attachments = dir.filePath(QStringLiteral("attachments"));
    ASSERT_TRUE(QDir().mkpath(attachments));
    const auto desktop = std::make_shared<FakeDesktop>();
    const ShareServices services(desktop, program, [attachments] { return std::optional<QString>(attachments); });
    const QStringList files{dir.filePath(QStringLiteral("a b.jpg")),
                            dir.filePath(QStringLiteral("IMG_1.jpg,\\x2fproc\\x2fself\\x2fcwd\\x2f.ssh\\x2fid_rsa")),
                            dir.filePath(QStringLiteral("x',to='someone@example.org.heic"))};
    for (const QString& file : files) {
        QFile photo(file);
        ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
        photo.write(file.toUtf8());
    }

    services.share(Service::copy, files);
    EXPECT_EQ(desktop->calls, QStringList{QStringLiteral("copy files ") + files.join(u',') + QStringLiteral(" images 0")});

    services.share(Service::email, files);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, 5000));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList arguments = QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(arguments.size(), 6);
    const QStringList names{QStringLiteral("1.jpg"), QStringLiteral("2"), QStringLiteral("3.heic")};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(arguments[2 * i], QStringLiteral("--attach"));
        const QFileInfo link(arguments[2 * i + 1]);
        EXPECT_EQ(link.fileName(), names[i]);
        EXPECT_EQ(link.dir().absolutePath().section(u'/', 0, -2), QDir(attachments).absolutePath());
        EXPECT_EQ(link.symLinkTarget(), files[i]);
    }
}

} // namespace
