#pragma once

#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/settings/StorageSizes.h"

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

#include <functional>

class Library;
class QLabel;
class QPushButton;

// What the "Index" page does beyond showing sizes: reveal the support folder, stop the two
// workers, and the two resets. A reset left empty keeps its button off.
struct IndexActions {
    using Step = std::function<QCoro::Task<>()>;

    std::function<void(const QString& folder)> reveal;
    Step stopFullWorker;
    Step stopWorker;
    Step resetPreviews;
    Step clearIndex;

    // The Library's operations and the desktop's file manager.
    static IndexActions of(Library& library);
};

// The "Index" page: how much disk space the index and the previews take and where they are, the
// support folder in the file manager, and clearing the previews or rebuilding the index, each
// behind a confirmation. The sizes are measured off the GUI thread each time the page is shown.
class IndexSettings : public QWidget {
    Q_OBJECT
public:
    IndexSettings(Library& library, IndexActions actions, QWidget* parent = nullptr);

    // Stops both workers and waits until they have ended, then runs `reset`. Runs to its end
    // without the page.
    static QCoro::Task<> stopWorkersThen(IndexActions actions, IndexActions::Step reset);

    const StorageSizes& sizes() const { return sizes_; }
    // The confirmation on screen, if any.
    AlertDialog* confirmation() const { return confirmation_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void measure();
    void showSizes(const StorageSizes& sizes);
    void confirm(const QString& title, const QString& message, const QString& confirmText, IndexActions::Step reset);

    Library& library_;
    IndexActions actions_;
    StorageSizes sizes_;
    QLabel* indexSize_;
    QLabel* previewSize_;
    QPointer<AlertDialog> confirmation_;
};
