#pragma once

// Cloud placeholders: the small files (".name.icloud") that stand for a file whose content is not on
// this computer. The walkers index the file they stand for.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Whether a file name is a placeholder's.
bool isPlaceholderName(const QString& name);

// The name a placeholder stands for: ".name.icloud" without its dot and suffix.
QByteArrayView representedName(QByteArrayView placeholderName);

// The size recorded in the placeholder `name` inside an open folder (a binary or XML property list);
// 0 when it cannot be read.
qint64 placeholderSize(int folder, const QByteArray& name);
