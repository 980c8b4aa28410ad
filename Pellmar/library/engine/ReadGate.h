#pragma once

#include "Pellmar/library/frame/Gate.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// Large files are read by the two background workers (quick indexing and larger previews) one at a
// time, in arrival order, so that two big videos never compete for one disk. Files of 32 MiB or
// less never wait; neither does a file whose size cannot be read.
//
// A worker holds the gate for the whole work on one file (read, decode, render, record) through the
// Pass it is given, which hands the gate on when it goes out of scope, on every path:
//
//     const std::optional<Gate::Pass> pass = ReadGate::passFor(path);   // on a worker thread
namespace ReadGate {

// The largest file that is read without the gate.
constexpr qint64 ungatedMaximum = 33'554'432;

// The one gate of the process, made on first use and never destroyed.
Gate& shared();

bool isGated(std::optional<qint64> size);

// The size of the file at `path`; nothing when it cannot be read.
std::optional<qint64> sizeOf(const QString& path);

// From a worker thread: blocks until the shared gate is the caller's when a file of `size` bytes is
// gated; nothing at once otherwise.
[[nodiscard]] std::optional<Gate::Pass> passFor(std::optional<qint64> size);
[[nodiscard]] std::optional<Gate::Pass> passFor(const QString& path);

} // namespace ReadGate
