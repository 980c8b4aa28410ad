// The sidebar with 5,000 folder nodes open, offscreen: how long a rebuild takes on the GUI thread
// (flattening the trees and reconciling the row widgets), after the ticker brings new counts and
// when nothing changed, the event loop's turn that follows (the repaint), and how long the first
// build takes. Prints Markdown table rows.
// Usage: sidebar_bench

#include "Pellmar/library/Library.h"
#include "Pellmar/views/sidebar/SidebarView.h"
#include "bench/BenchLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int sourceCount = 5;
constexpr int foldersPerSource = 20;
constexpr int subfoldersPerFolder = 49;   // 5 × (20 + 20 × 49) = 5,000 folder nodes below the roots
constexpr int runs = 40;

// Every source's tree, with counts that differ per `round` as the ticker's would.
QList<FolderNode> makeTrees(int round)
{
    QList<FolderNode> trees;
    for (int s = 0; s < sourceCount; ++s) {
        const QString sourceID = QStringLiteral("SRC%1").arg(s);
        FolderNode root{.id = sourceID, .sourceID = sourceID, .name = QStringLiteral("Drive %1").arg(s)};
        for (int f = 0; f < foldersPerSource; ++f) {
            const QString path = QStringLiteral("Folder %1").arg(f);
            FolderNode folder{.id = sourceID + u'/' + path, .sourceID = sourceID, .path = path, .name = path};
            for (int c = 0; c < subfoldersPerFolder; ++c) {
                const QString sub = path + QStringLiteral("/Shoot %1").arg(c);
                folder.children.append(FolderNode{.id = sourceID + u'/' + sub,
                                                  .sourceID = sourceID,
                                                  .path = sub,
                                                  .name = sub.section(u'/', -1),
                                                  .count = 100 + c + round});
                folder.count += folder.children.last().count;
            }
            root.count += folder.count;
            root.children.append(folder);
        }
        trees.append(root);
    }
    return trees;
}

QSet<QString> allIDs(const QList<FolderNode>& nodes)
{
    QSet<QString> ids;
    for (const FolderNode& node : nodes) {
        ids.insert(node.id);
        ids.unite(allIDs(node.children));
    }
    return ids;
}

struct Figures {
    double median = 0;
    double worst = 0;
};

// The CPU time the calling thread has used, in milliseconds.
double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

Figures summarize(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir support;
    Defaults defaults(support.filePath(QStringLiteral("Quorvin.conf")));
    Library library(benchServices(support.path(), defaults, std::make_shared<ManualClock>()));

    QList<Source> sources;
    for (int s = 0; s < sourceCount; ++s)
        sources.append(Source{.id = QStringLiteral("SRC%1").arg(s), .name = QStringLiteral("Drive %1").arg(s),
                              .rootPath = QStringLiteral("/media/me/Drive %1").arg(s)});
    library.setSources(sources);
    library.setWorkspaceID(QStringLiteral("everything"));
    library.setTrees(makeTrees(0));
    library.setExpanded(allIDs(library.trees()));

    SidebarView view(library);
    view.resize(260, 900);
    QElapsedTimer timer;
    timer.start();
    view.show();
    QCoreApplication::processEvents();   // the first build, then the rows' first polish and paint
    QCoreApplication::processEvents();
    const double first = timer.nsecsElapsed() / 1e6;

    std::vector<double> changed, changedCpu, painted, same;
    for (int round = 1; round <= runs; ++round) {
        library.setTrees(makeTrees(round));
        const double cpuBefore = threadCpuMilliseconds();
        timer.restart();
        view.rebuild();
        changed.push_back(timer.nsecsElapsed() / 1e6);
        changedCpu.push_back(threadCpuMilliseconds() - cpuBefore);
        timer.restart();
        QCoreApplication::processEvents();   // the coalesced rebuild and the repaint of the rows on screen
        painted.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        view.rebuild();
        same.push_back(timer.nsecsElapsed() / 1e6);
    }
    const Figures withCounts = summarize(changed);
    const Figures withCountsCpu = summarize(changedCpu);
    const Figures unchanged = summarize(same);
    const Figures repaint = summarize(painted);
    std::printf("| Entries in the sidebar | %lld |\n", qlonglong(view.entries().size()));
    std::printf("| Rebuild after new counts, median / worst of %d | %.2f ms / %.2f ms |\n", runs, withCounts.median,
                withCounts.worst);
    std::printf("| The same, CPU time of the GUI thread (without the waits of a busy machine), median / worst | "
                "%.2f ms / %.2f ms |\n",
                withCountsCpu.median, withCountsCpu.worst);
    std::printf("| Then the event loop's turn (a rebuild with nothing new, and the repaint), median / worst of %d "
                "| %.2f ms / %.2f ms |\n",
                runs, repaint.median, repaint.worst);
    std::printf("| Rebuild with nothing changed, median / worst of %d | %.2f ms / %.2f ms |\n", runs,
                unchanged.median, unchanged.worst);
    std::printf("| First build, with the first polish and paint of every row | %.1f ms |\n", first);
    return 0;
}
