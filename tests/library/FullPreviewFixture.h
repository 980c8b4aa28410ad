#pragma once

#include "Pellmar/index/Database.h"
#include "Pellmar/index/Index.h"
#include "Pellmar/library/engine/FullPreviewBuild.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

// The larger-preview state of one item as the index holds it.
struct FullRow {
    QString preview;
    QString proxy;
    QString poster;
    std::optional<QString> error;

    bool operator==(const FullRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const FullRow& row)
{
    return out << "preview '" << row.preview.toStdString() << "' proxy '" << row.proxy.toStdString() << "' poster '"
               << row.poster.toStdString() << "' error '" << row.error.value_or("none").toStdString() << "'";
}

// Items waiting for larger previews on one folder source, each with a file under `root`.
class FullPreviewItems {
public:
    FullPreviewItems(Index& index, Source source) : index_(index), source_(std::move(source))
    {
        QDir().mkpath(source_.rootPath);
        waitFor(index_.run([source = source_](Index& ix) {
            ix.migrate();
            ix.saveSource(source);
        }));
    }

    const Source& source() const { return source_; }

    // An item whose ready file has `size` bytes (sparse on the disk); smaller files come first.
    FullJob add(const QString& id, MediaKind kind, qint64 size = 1, const QString& storedPoster = {})
    {
        const QString name = id + QStringLiteral(".file");
        QFile file(source_.rootPath + QLatin1Char('/') + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        waitFor(index_.run([=, sourceID = source_.id](Index& ix) {
            ix.database().run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename, poster_ext, created_at) "
                                             "VALUES (?, ?, ?, ?, ?, 0)"),
                              {id, QStringLiteral("hash ") + id, qint64(kind), name, storedPoster});
            ix.database().run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, quick_hash, item_id, "
                                             "state) VALUES (?, ?, ?, 0, ?, ?, 2)"),
                              {sourceID, name, size, QStringLiteral("hash ") + id, id});
        }));
        return FullJob{id, source_.id, name, kind, {}, name};
    }

    FullRow row(const QString& id)
    {
        return waitFor(index_.run([id](Index& ix) {
            Statement row(ix.database().db(),
                          QStringLiteral("SELECT preview_ext, proxy_ext, poster_ext, full_error FROM items WHERE id = ?"));
            row.bind({id});
            EXPECT_TRUE(row.step());
            return FullRow{row.text(0), row.text(1), row.text(2),
                           row.isNull(3) ? std::nullopt : std::optional<QString>(row.text(3))};
        }));
    }

    // Every later write of an item fails, as on a full disk.
    void refuseItemWrites()
    {
        waitFor(index_.run([](Index& ix) {
            ix.database().run(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON items "
                                             "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
        }));
    }

private:
    Index& index_;
    Source source_;
};

// Renderers that write a few bytes where the real ones would write a picture, and record what they
// were asked. Renders can be held until the test lets them go.
class FakeRenderers {
public:
    FakeRenderers()
    {
        renderers_->photo = [this](const QString& file, const QString& output, int size, const FullRenderers::IsCancelled&) {
            enter(file, QStringLiteral("photo %1").arg(size));
            throwIf(photoError);
            write(output);
        };
        renderers_->poster = [this](const QString&, const QString& output, int) {
            throwIf(posterError);
            write(output);
        };
        renderers_->videoProxy = [this](const QString& file, const QString& output, const FullRenderers::IsCancelled& stop) {
            enter(file, QStringLiteral("video"));
            if (stop())
                throw DatabaseError(QStringLiteral("export status 5"));
            throwIf(videoError);
            write(output);
        };
        renderers_->documentImage = [this](const QString& file, double side, const FullRenderers::IsCancelled&) {
            enter(file, QStringLiteral("document %1").arg(side));
            QImage image(int(side), int(side), QImage::Format_RGB32);
            image.fill(Qt::white);
            return documentSides.contains(int(side)) ? image : QImage();
        };
        renderers_->photoLibraryItem = [](const FullJob&, Index&, const QString&, const FullRenderers::IsCancelled&) {};
        renderers_->isAvailable = [this](const Source&) { return available; };
        renderers_->tileImage = [this](const QString& proxy) {
            std::lock_guard locker(lock_);
            tileImages_.append(QFileInfo(proxy).fileName());
            return true;
        };
    }

    std::shared_ptr<const FullRenderers> renderers() const { return renderers_; }

    // Renders wait in `enter` until let go.
    void holdRenders()
    {
        std::lock_guard locker(lock_);
        holding_ = true;
    }
    void letGo()
    {
        {
            std::lock_guard locker(lock_);
            holding_ = false;
        }
        released_.notify_all();
    }
    // Lets the oldest held render go on.
    void letOneGo()
    {
        {
            std::lock_guard locker(lock_);
            ++passes_;
        }
        released_.notify_all();
    }
    // What was asked so far, each as "<file> <what>"; and how many renders run now.
    QStringList calls() const
    {
        std::lock_guard locker(lock_);
        return calls_;
    }
    // The proxies whose tile image was asked for, by file name.
    QStringList tileImages() const
    {
        std::lock_guard locker(lock_);
        return tileImages_;
    }
    int running() const
    {
        std::lock_guard locker(lock_);
        return running_;
    }

    std::optional<QString> photoError;
    std::optional<QString> posterError;
    std::optional<QString> videoError;
    QList<int> documentSides{440, 1280};
    bool available = true;

private:
    void enter(const QString& file, const QString& what)
    {
        std::unique_lock locker(lock_);
        calls_.append(QFileInfo(file).fileName() + QLatin1Char(' ') + what);
        ++running_;
        released_.wait(locker, [this] {
            if (!holding_)
                return true;
            if (passes_ == 0)
                return false;
            --passes_;
            return true;
        });
        --running_;
    }
    static void throwIf(const std::optional<QString>& error)
    {
        if (error)
            throw DatabaseError(*error);
    }
    static void write(const QString& output)
    {
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write("rendered") != 8)
            throw DatabaseError(QStringLiteral("proxy write failed"));
    }

    std::shared_ptr<FullRenderers> renderers_ = std::make_shared<FullRenderers>();
    mutable std::mutex lock_;
    std::condition_variable released_;
    QStringList calls_;
    QStringList tileImages_;
    bool holding_ = false;
    int passes_ = 0;
    int running_ = 0;
};
