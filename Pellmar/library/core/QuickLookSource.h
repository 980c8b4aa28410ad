#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The files the in-app preview window pages through, in order.
class QuickLookSource {
public:
    QStringList urls;
    // For each file, what the window shows of it, the largest first: the item's larger preview when
    // it is a picture, its small preview or poster, then the file itself.
    QList<QStringList> pictures;

    qsizetype numberOfPreviewItems() const { return urls.size(); }
    // The window asks only for indexes below numberOfPreviewItems().
    QString previewItem(qsizetype index) const { return urls.at(index); }
};
