#pragma once

// Imports of a memory card's files: into a folder (each file copied under a free name, checked in
// full and only then deleted from the card when asked) or into the photo library (in batches of
// 50). One import of either kind runs at a time; its progress, result and task are properties of
// Library (importJob, importResult, importTask), which owns this class.

#include "Pellmar/index/Model.h"
#include "Pellmar/library/frame/Cancellation.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <optional>

class Library;

class CardImport {
public:
    explicit CardImport(Library& library) : library_(library) {}

    void startImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter);
    void startPhotosImport(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                           std::optional<QString> newAlbumName, bool deleteAfter);

    // "1 file could not be imported." or "N files could not be imported."
    static QString failureText(qint64 failed);
    // What made copies into `destination` fail, from the errno of the last one, and what the user
    // can do; empty for none.
    static QString failureCause(int error, const QString& destination);

private:
    QCoro::Task<> runImport(QList<CardFile> files, Device device, QString destination, bool deleteAfter,
                            TaskHandle task);
    QCoro::Task<> importToPhotos(QList<CardFile> files, Device device, std::optional<PhotosAlbum> album,
                                 QString destinationName, bool deleteAfter, TaskHandle task);
    // Sets the job of an import that starts now, and its task.
    TaskHandle begin(const Device& device, const QString& destination, const QList<CardFile>& files);
    // The card is listed again after an import: its files changed.
    void relistCard(const Device& device);

    Library& library_;
};
