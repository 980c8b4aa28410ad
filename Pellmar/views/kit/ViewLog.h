#pragma once

#include <QLoggingCategory>

// Messages of the views: "com.davrenoskil.quorvin.views".
Q_DECLARE_LOGGING_CATEGORY(logViews)
