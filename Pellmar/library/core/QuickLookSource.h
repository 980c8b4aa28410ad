#pragma once

#include <QString>
#include <QStringList>

// The files the in-app preview window pages through, in order.
class QuickLookSource {
public:
    QStringList urls;

    qsizetype numberOfPreviewItems() const { return urls.size(); }
    // The window asks only for indexes below numberOfPreviewItems().
    QString previewItem(qsizetype index) const { return urls.at(index); }
};
