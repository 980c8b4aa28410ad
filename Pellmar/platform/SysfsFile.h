#pragma once

#include <QString>

// The first line of a small kernel attribute file, trimmed; empty when it cannot be read.
QString readSysfsAttribute(const QString& path);
