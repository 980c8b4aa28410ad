#pragma once

#include <QLoggingCategory>

// One logging category per concern, named "com.davrenoskil.quorvin.<category>"; info and above by default.
Q_DECLARE_LOGGING_CATEGORY(logIndex)
Q_DECLARE_LOGGING_CATEGORY(logSearch)
Q_DECLARE_LOGGING_CATEGORY(logWatch)
Q_DECLARE_LOGGING_CATEGORY(logSelection)
Q_DECLARE_LOGGING_CATEGORY(logPhotos)
