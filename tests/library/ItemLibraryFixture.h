#pragma once

#include "OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

// An index with rows set up through IndexFixture and a Library on it that starts nothing of its own.
class ItemLibraryFixture : public IndexFixture {
protected:
    ~ItemLibraryFixture() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    // Until every task started and not awaited has ended.
    static void settle() { EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000)); }

    static Item item(const QString& id, MediaKind kind = MediaKind::photo)
    {
        Item item;
        item.id = id;
        item.kind = kind;
        item.filename = id + QStringLiteral(".jpg");
        return item;
    }

    OfflineLibrary offlineLibrary{dir.path()};
    std::unique_ptr<Library>& library = offlineLibrary.library;
    FakeDesktop& desktop = *offlineLibrary.desktop;
    FakeCloud& cloud = *offlineLibrary.cloud;
    FakeSharePicker& sharePicker = *offlineLibrary.sharePicker;
};

// The index: source ON (online, with the files of its copies), DRIVE and CARD (unplugged) and the
// photo library PH.
class CopiesFixture : public ItemLibraryFixture {
protected:
    CopiesFixture()
    {
        addSource(QStringLiteral("ON"), SourceKind::folder, 1);
        addSource(QStringLiteral("DRIVE"), SourceKind::folder, 2);
        addSource(QStringLiteral("CARD"), SourceKind::folder, 3);
        addSource(QStringLiteral("PH"), SourceKind::photos, 4);
        QList<Source> sources = index.sources();
        for (Source& source : sources) {
            if (source.id == QStringLiteral("ON"))
                source.rootPath = root;
        }
        library->setSources(sources);
        library->setOnline({QStringLiteral("ON"), QStringLiteral("PH")});
        QDir().mkpath(root);
    }

    // An item with a copy on each of `sources` (a photo library copy for PH); a file for the copy on ON.
    Item addItemWithCopies(const FixtureItem& row, const QStringList& sources)
    {
        addItem(row);
        for (const QString& source : sources) {
            const QString path = row.id + QStringLiteral(".file");
            addFile({.sourceID = source, .relPath = path, .itemID = row.id,
                     .assetID = source == QStringLiteral("PH") ? QStringLiteral("ASSET-") + row.id : QString()});
            if (source == QStringLiteral("ON"))
                QFile(root + u'/' + path).open(QIODevice::WriteOnly);
        }
        return *index.itemByID(row.id);
    }

    QString root = dir.filePath(QStringLiteral("On"));
};
