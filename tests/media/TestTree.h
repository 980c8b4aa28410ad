#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "Pellmar/media/FolderDescriptors.h"

#include <unistd.h>

// Builds trees of folders and files in a test's temporary folder; paths are relative to root.
class TestTree {
public:
    explicit TestTree(QString root) : root_(std::move(root)) {}

    const QString& root() const { return root_; }
    QString path(const QString& relative) const { return relative.isEmpty() ? root_ : root_ + QLatin1Char('/') + relative; }

    void folder(const QString& relative) const { QDir().mkpath(path(relative)); }

    void file(const QString& relative, const QByteArray& contents = QByteArrayLiteral("x")) const
    {
        folder(QFileInfo(relative).path() == QLatin1String(".") ? QString() : QFileInfo(relative).path());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
    }

    void files(const QStringList& relatives) const
    {
        for (const QString& relative : relatives)
            file(relative);
    }

private:
    QString root_;
};

// Removes a folder and everything in it through descriptors, so that names that are not UTF-8 and
// paths longer than PATH_MAX, which QDir cannot remove, go too.
inline void removeTreeAt(int parent, const char* name)
{
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        const FolderListing listing = listFolder(folder, false);
        for (const FolderListing::Entry& entry : listing.entries) {
            const QByteArray child = listing.nameOf(entry).toByteArray();
            if (entry.kind == FolderListing::Kind::folder)
                removeTreeAt(folder, child.constData());
            else
                ::unlinkat(folder, child.constData(), 0);
        }
        ::close(folder);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}
