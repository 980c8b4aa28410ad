#include "Pellmar/platform/FileManager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// A file manager on the bus that records each request and answers it, or answers with an error.
class FakeFileManager final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QStringList uris = message.arguments().value(0).toStringList();
        requests.append(message.member() + u' ' + uris.join(u','));
        connection.send(refuse ? message.createErrorReply(QDBusError::Failed, QStringLiteral("refused")) : message.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    QStringList requests;
    bool refuse = false;
};

// A message bus of the test's own, with the fake file manager on one connection and the caller on another.
class FileManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        ASSERT_FALSE(daemon.isEmpty()) << "dbus-daemon is missing (scripts/setup installs it)";
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        ASSERT_TRUE(bus.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.canReadLine(); }, 5000));
        address = QString::fromUtf8(bus.readLine()).trimmed();
        service.emplace(QDBusConnection::connectToBus(address, QStringLiteral("file manager")));
        caller.emplace(QDBusConnection::connectToBus(address, QStringLiteral("caller")));
        ASSERT_TRUE(service->isConnected() && caller->isConnected());
    }

    void TearDown() override
    {
        service.reset();
        caller.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("file manager"));
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
        bus.kill();
        bus.waitForFinished(5000);
    }

    void offerFileManager()
    {
        ASSERT_TRUE(service->registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
        ASSERT_TRUE(service->registerService(QStringLiteral("org.freedesktop.FileManager1")));
    }

    // What was asked of the file manager and what was opened instead, once one of them happened.
    QStringList ask(FileManagerRequest request, const QString& path)
    {
        QStringList opened;
        fileManager.requests.clear();
        askFileManager(*caller, request, path, [&](const QString& folder) { opened.append(QStringLiteral("open ") + folder); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty() || !fileManager.requests.isEmpty(); }, 5000));
        // A refusal is answered by opening the folder: wait for that too.
        if (fileManager.refuse)
            EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
        return fileManager.requests + opened;
    }

    QProcess bus;
    QString address;
    std::optional<QDBusConnection> service;
    std::optional<QDBusConnection> caller;
    FakeFileManager fileManager;
};

TEST_F(FileManagerTest, AsksTheFileManagerForAnItemOrAFolderAndOpensTheFolderWhenNoneAnswers)
{
    // No file manager on the bus yet.
    EXPECT_EQ(ask(FileManagerRequest::showItem, "/photos/a b/c.jpg"), QStringList{"open /photos/a b"});
    EXPECT_EQ(ask(FileManagerRequest::showFolder, "/photos/a b/"), QStringList{"open /photos/a b"});

    offerFileManager();
    EXPECT_EQ(ask(FileManagerRequest::showItem, "/photos/a b/c.jpg"), QStringList{"ShowItems file:///photos/a%20b/c.jpg"});
    EXPECT_EQ(ask(FileManagerRequest::showFolder, "/photos/./a b"), QStringList{"ShowFolders file:///photos/a%20b"});

    fileManager.refuse = true;
    EXPECT_EQ(ask(FileManagerRequest::showFolder, "/photos/a b"),
              (QStringList{"ShowFolders file:///photos/a%20b", "open /photos/a b"}));
}

} // namespace
