#pragma once

#include "FakeReadings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// A Library that starts nothing of its own, a fake card (a "DCIM" tree in a temporary folder)
// and a destination folder.
class CardImportFixture : public ::testing::Test {
protected:
    CardImportFixture()
    {
        Library::Services services;
        services.supportDirectory = dir.filePath(QStringLiteral("data/Quorvin"));
        services.defaults = &defaults;
        services.clock = std::make_shared<ManualClock>();
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.startUp = false;
        library = std::make_unique<Library>(std::move(services));
        // The index as start-up leaves it, so that a destination can become a source.
        waitFor(library->index().run([](Index& index) { index.migrate(); }));
        QDir().mkpath(cardFolder);
        QDir().mkpath(destination);
    }

    ~CardImportFixture() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    // A card photo of `size` random bytes.
    CardFile cardPhoto(const QString& name, qint64 size = 200 * 1024, MediaKind kind = MediaKind::photo)
    {
        const QString path = QDir(cardFolder).filePath(name);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(QRandomGenerator::global()->bounded(256));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        return CardFile{path, size, 1'600'000'000.25, kind};
    }

    QByteArray contents(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList destinationEntries() const
    {
        return QDir(destination).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    void waitForResult()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return library->importResult().has_value(); }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    }

    QTemporaryDir dir;
    QString card = dir.filePath(QStringLiteral("CARD"));
    QString cardFolder = card + QStringLiteral("/DCIM/100CANON");
    QString destination = dir.filePath(QStringLiteral("Pictures/Import"));
    Device device{card, QStringLiteral("CARD"), 0, 0};
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    FakeReadings fakes;
    std::unique_ptr<Library> library;
};
