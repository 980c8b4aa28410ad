#include "Pellmar/views/kit/ViewLog.h"

Q_LOGGING_CATEGORY(logViews, "com.davrenoskil.quorvin.views", QtInfoMsg)
