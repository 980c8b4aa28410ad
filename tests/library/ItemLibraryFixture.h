#pragma once

#include "OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

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
};
