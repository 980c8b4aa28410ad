#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

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
