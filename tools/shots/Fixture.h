#pragma once

#include "Pellmar/app/Application.h"
#include "Pellmar/app/Updater.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/platform/Defaults.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QTemporaryDir>

#include <memory>

// A landscape of two colours with a sun, as a stand-in for a photo.
QImage landscape(QSize size, QColor sky, QColor ground);
// The landscape saved as a JPEG.
void drawPreview(const QString& path, QSize size, QColor sky, QColor ground);

// A Library on a temporary support folder whose state is set by hand (nothing is scanned), with
// one main window over it.
struct Fixture {
    Fixture();
    ~Fixture();

    // Sources and workspaces.
    void fillPlaces();
    // Items, with larger previews drawn into the preview folder.
    void fillItems();
    // `count` items of every kind, most with previews, some with several copies, some only in
    // the cloud, videos of every length and documents without a preview.
    void fillManyItems(int count);

    // An updater that never checks: the pictures show the menu as a machine without a feed has it.
    struct NoUpdates final : Updater {
        void start() override {}
        void check() override {}
    };

    QTemporaryDir home;
    Defaults defaults{home.filePath(QStringLiteral("Quorvin.conf"))};
    std::unique_ptr<Library> library;
    NoUpdates updater;
    std::unique_ptr<Application> application;
};
