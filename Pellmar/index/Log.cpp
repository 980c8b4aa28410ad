#include "Pellmar/index/Log.h"

Q_LOGGING_CATEGORY(logIndex, "com.davrenoskil.quorvin.index", QtInfoMsg)
Q_LOGGING_CATEGORY(logSearch, "com.davrenoskil.quorvin.search", QtInfoMsg)
Q_LOGGING_CATEGORY(logWatch, "com.davrenoskil.quorvin.watch", QtInfoMsg)
Q_LOGGING_CATEGORY(logSelection, "com.davrenoskil.quorvin.selection", QtInfoMsg)
Q_LOGGING_CATEGORY(logPhotos, "com.davrenoskil.quorvin.photos", QtInfoMsg)
