#pragma once

#include <QCoroTask>
#include <QSet>
#include <QString>

#include <memory>

class Library;

// Deletes the previews, posters and proxies of the items: every file in the folder whose name is
// an item's id followed by ".". Touches the disk.
void deleteItemFiles(const QString& proxyDirectory, const QSet<QString>& itemIDs);

// Keeps "Proxies" free of files that no item names: after each quick-index run, the files of the
// items the index removed meanwhile (a file edited to new content, a file deleted); and once per
// Library, in a pass at background priority, the files of every id the index does not know (left
// by a quit in the middle of a batch). A quick-index run writes the pictures of its new items
// before their rows, so a file is deleted only when no run was under way from the moment the
// pass began to the moment the ids were checked; otherwise the pass waits for the next run's end.
// GUI thread only; the disk and the index are read on other threads.
class PreviewSweep {
public:
    explicit PreviewSweep(Library& library);
    ~PreviewSweep();
    PreviewSweep(const PreviewSweep&) = delete;
    PreviewSweep& operator=(const PreviewSweep&) = delete;

    // Called once a quick-index run has ended; starts a pass unless one is under way.
    void afterQuickIndex();

private:
    struct State;
    static QCoro::Task<> pass(Library& library, std::shared_ptr<State> state);

    Library& library_;
    std::shared_ptr<State> state_;
};
