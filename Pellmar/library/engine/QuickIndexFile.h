#pragma once

// The quick-index work on one file of a folder source: its content key, its item, a small preview
// or poster when the item has none, its search text, and the file's state.

#include "Pellmar/index/Index.h"

#include <QList>
#include <QString>

#include <optional>

// The MIME type of a file by its name: generic data ("application/octet-stream") when the name
// says nothing, a folder ("inode/directory") for a package whose name says nothing.
QString fileTypeName(const QString& path, bool package);

// Indexes the job's file: hashes its head (a package as a whole; a file that is not on this
// computer is keyed "unhashed:", the source id, ":" and its path, and never opened), finds or makes
// its item, writes the small preview (photos) or poster (videos) into `proxyDirectory` when the
// item has neither, its search text, and marks the file ready. An empty file becomes empty ("empty
// file"); a failure fails it with the error's text; a picture that cannot be decoded leaves the item
// without one. Every write applies only while the file's row is as the job read it, and nothing is
// written for a failure once the source is no longer available (an unplugged drive's files are
// not failed); a failure of the index rather than the file leaves the file waiting. A media file larger than 32 MiB waits for the shared read gate. Never throws.
// Runs on a worker thread and waits for the writer `index`.
void indexFolderFile(const Job& job, const Source& source, Index& index, const QString& proxyDirectory);

// indexFolderFile in two halves, so that a worker writes the ends of several files in one
// transaction. The reading half does all but the writes that end the file: it hashes, finds or
// makes the item and renders its picture, under the name of the item it found or made. It ends
// the file itself (empty, or failed with its text) and gives nothing when there is nothing to
// write. The item is looked up on `lookup`, which may be a reading connection that does not see a
// transaction under way: recordFolderFiles links the file to whichever item holds its content when
// it commits. Only the file's own read error fails it; when the index or the "Proxies" folder
// fails instead, the file gives nothing and stays waiting. Never throws.
struct ReadFile {
    Index::IndexedFile file;
    bool newItem = false;   // the item did not exist when it was looked up
};
// `sources` holds the job's source and those whose copies the file may be compared with.
std::optional<ReadFile> readFolderFile(const Job& job, const QHash<QString, Source>& sources, Index& index,
                                       Index& lookup, const QString& proxyDirectory);
// The writing half, for files of any sources, in one transaction (Index::recordIndexedFiles): a
// file whose writes fail, or whose batch the index did not take (an interrupt, a full disk), stays
// waiting for the next run, never failed; a picture of a new item that was not recorded is deleted.
// Never throws. Returns the jobs of files read as new content whose quick hash another file gave an
// item meanwhile: read again, they compare their tails with it.
QList<Job> recordFolderFiles(const QList<ReadFile>& reads, Index& index, const QString& proxyDirectory);
