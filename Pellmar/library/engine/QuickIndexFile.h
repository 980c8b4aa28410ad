#pragma once

// The quick-index work on one file of a folder source: its content key, its item, a small preview
// or poster when the item has none, its search text, and the file's state.

#include "Pellmar/index/Model.h"

#include <QString>

class Index;

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
// not failed). A media file larger than 32 MiB waits for the shared read gate. Never throws.
// Runs on a worker thread and waits for the writer `index`.
void indexFolderFile(const Job& job, const Source& source, Index& index, const QString& proxyDirectory);
