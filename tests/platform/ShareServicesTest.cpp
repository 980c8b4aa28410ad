#include "Pellmar/platform/ShareServices.h"
#include "tests/library/FakeDesktop.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Service = ShareServices::Service;

TEST(ShareServicesTest, EmailIsOfferedOnlyWithItsProgram)
{
    const auto desktop = std::make_shared<FakeDesktop>();
    EXPECT_EQ(ShareServices(desktop, QString()).available(), QList<Service>{Service::copy});
    EXPECT_EQ(ShareServices(desktop, QStringLiteral("/usr/bin/xdg-email")).available(),
              (QList<Service>{Service::copy, Service::email}));
    EXPECT_EQ(ShareServices::title(Service::copy), QStringLiteral("Copy"));
    EXPECT_EQ(ShareServices::title(Service::email), QStringLiteral("Email"));
}

TEST(ShareServicesTest, CopyPutsTheFilesOnTheClipboardAndEmailAttachesEachFile)
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
    const auto desktop = std::make_shared<FakeDesktop>();
    const ShareServices services(desktop, program);
    // A name with a space, a quote and a leading dash inside stays one argument.
    const QStringList files{QStringLiteral("/photos/a b.jpg"), QStringLiteral("/photos/-x'; rm.jpg")};

    services.share(Service::copy, files);
    EXPECT_EQ(desktop->calls, QStringList{QStringLiteral("copy files /photos/a b.jpg,/photos/-x'; rm.jpg images 0")});

    services.share(Service::email, files);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, 5000));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()),
              QStringLiteral("--attach\n/photos/a b.jpg\n--attach\n/photos/-x'; rm.jpg\n"));
}

} // namespace
