#pragma once

// What the selection panel says about several selected items.

#include "Pellmar/index/Model.h"

#include <QList>
#include <QString>

namespace inspector {

// "3 photos, 1 video, 2 audio files" for the kinds present, in the order photo, video, audio, document.
QString kindsText(const QList<Item>& items);
// "1,234 items selected".
QString groupTitle(qsizetype count);
// The total of each item's largest copy, then the kinds, whichever are not empty.
QString groupSubtitle(qint64 totalBytes, const QString& kinds);

} // namespace inspector
