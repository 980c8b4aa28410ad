#pragma once

#include "OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

// An offline Library over a folder source "S" named "Pictures" on a temporary folder, online,
// whose files tests write to disk and record in the index row by row. The user's data folder
// (where the Trash lives) is a temporary folder too. The workers do what the test passes.
class FolderSourceFixture : public IndexFixture {
protected:
    explicit FolderSourceFixture(WorkerControl::Bodies workerBodies = {}, ChangeWatcher::WatcherFactory makeWatcher = {})
        : offline(dir.path(), std::move(workerBodies), std::move(makeWatcher))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
        QDir().mkpath(dir.filePath(QStringLiteral("data")));
        QDir().mkpath(root);
        index.saveSource(source);
        library.setSources({source});
        library.setOnline({source.id});
    }

    ~FolderSourceFixture() override
    {
        waitForTasks();
        offline.library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
        qunsetenv("XDG_DATA_HOME");
    }

    static void waitForTasks()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 10000));
    }

    // Writes a file below the source's root, with its parent folders.
    QString write(const QString& relativePath, const QByteArray& content = "content")
    {
        const QString path = QDir(root).filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    // A file on disk as the index knows it once quick indexing is done: an item with one copy
    // and its search text. The copy as the inspector lists it.
    Location addCopy(const QString& relativePath, const FixtureItem& item)
    {
        write(relativePath);
        addItem(item);
        addFile({.sourceID = source.id, .relPath = relativePath, .itemID = item.id});
        addSearchText(item.id, item.filename);
        return locationOf(relativePath);
    }

    Location locationOf(const QString& relativePath)
    {
        Location copy;
        copy.id = integer(QStringLiteral("SELECT id FROM files WHERE rel_path = ?"), {relativePath});
        copy.sourceID = source.id;
        copy.sourceName = source.name;
        copy.relativePath = relativePath;
        copy.local = true;
        return copy;
    }

    bool onDisk(const QString& relativePath) const { return QFileInfo::exists(QDir(root).filePath(relativePath)); }

    // "path size" of every file row of the source, and of every file on disk, sorted.
    QStringList fileRows()
    {
        QStringList rows;
        Statement row(db.db(), QStringLiteral("SELECT rel_path, size FROM files WHERE source_id = ?"));
        row.bind({source.id});
        while (row.step())
            rows.append(row.text(0) + u' ' + QString::number(row.int64(1)));
        rows.sort();
        return rows;
    }

    QStringList diskFiles() const
    {
        QStringList files;
        QDirIterator walk(root, QDir::Files, QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QFileInfo file = walk.nextFileInfo();
            files.append(QDir(root).relativeFilePath(file.filePath()) + u' ' + QString::number(file.size()));
        }
        files.sort();
        return files;
    }

    // The source's folder rows, and its folders on disk, sorted.
    QStringList folderRows()
    {
        QStringList folders = index.folderPaths(source.id, QString());
        folders.sort();
        return folders;
    }

    QStringList diskFolders() const
    {
        QStringList folders;
        QDirIterator walk(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (walk.hasNext())
            folders.append(QDir(root).relativeFilePath(walk.next()));
        folders.sort();
        return folders;
    }

    QString root = dir.filePath(QStringLiteral("Pictures"));
    Source source{QStringLiteral("S"), QStringLiteral("Pictures"), root, QString(), QString(), 1, SourceKind::folder};
    OfflineLibrary offline;
    Library& library = *offline.library;
};
