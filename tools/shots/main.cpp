// quorvin-shots OUTDIR [STATE...]: writes OUTDIR/STATE.png of the main window in each fixture state
// or of the Settings window (all of them without a list), one line per file on standard output.

#include "tools/shots/CardShots.h"
#include "tools/shots/Fixture.h"
#include "tools/shots/DetailsShots.h"
#include "tools/shots/SettingsShots.h"

#include "Pellmar/app/MainWindow.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/device/CardGrid.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "Pellmar/views/frame/FullscreenView.h"
#include "Pellmar/views/frame/RootView.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "Pellmar/views/grid/Thumbnail.h"
#include "Pellmar/views/grid/TilePictures.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <functional>
#include <map>

namespace {

constexpr QSize windowSize(1280, 800);
constexpr int settleMs = 5000;

ItemCopy copyOf(const Library& library, int index, const QString& relativePath, const QString& sourceName)
{
    ItemCopy copy;
    copy.item = library.items().value(index);
    copy.location.id = index + 1;
    copy.location.sourceID = QStringLiteral("HOME");
    copy.location.sourceName = sourceName;
    copy.location.relativePath = relativePath;
    return copy;
}

// Each state from a Library filled with the fixture items (except "empty").
const std::map<QString, std::function<void(Library&)>>& states()
{
    static const std::map<QString, std::function<void(Library&)>> all = [] {
    std::map<QString, std::function<void(Library&)>> all{
        {"empty", nullptr},
        {"items", [](Library&) {}},
        {"selected", [](Library& l) { l.select(l.items()[1]); }},
        {"grid-500", nullptr},
        {"fullscreen", [](Library& l) {
             l.select(l.items()[0]);
             l.setFullscreen(true);
         }},
        {"fullscreen-no-preview", [](Library& l) {
             Item audio;
             audio.id = QStringLiteral("AUDIO");
             audio.kind = MediaKind::audio;
             audio.filename = QStringLiteral("Interview.m4a");
             l.setItems(QList<Item>(l.items()) << audio);
             l.select(audio);
             l.setFullscreen(true);
         }},
        {"rename", [](Library& l) {
             l.setNewName(l.items()[0].filename);
             l.setRenaming(copyOf(l, 0, "2026/Winter/IMG_0412.jpg", "Pictures"));
         }},
        {"trash-copy", [](Library& l) { l.setTrashing(copyOf(l, 1, "IMG_0413.heic", "Pictures")); }},
        {"trash-group", [](Library& l) {
             l.setSelectedIDs({l.items()[0].id, l.items()[1].id, l.items()[2].id});
             l.setTrashingGroup(QList<ItemCopy>{copyOf(l, 0, "a/IMG_0412.jpg", "Pictures"),
                                                copyOf(l, 1, "a/IMG_0413.heic", "Pictures")});
         }},
        {"stop-indexing", [](Library& l) { l.setStoppingSource(l.sources()[1]); }},
        {"delete-workspace", [](Library& l) { l.setDeletingWorkspace(l.workspaces()[1]); }},
        {"workspace-sheet", [](Library& l) { l.setEditingWorkspace(l.workspaces()[1]); }},
        {"strip-relink", [](Library& l) { l.setRelinkNote(QStringLiteral("Backup Disk is connected again at /media/me/Backup Disk")); }},
        {"strip-unwatched", [](Library& l) { l.setUnwatchedSources({l.sources()[0].id}); }},
        {"strip-import", [](Library& l) {
             ImportJob job;
             job.device = card().name;
             job.destination = QStringLiteral("Trip to Lisbon");
             job.done = 38;
             job.total = 212;
             job.bytesDone = 1'900'000'000;
             job.bytesTotal = 9'800'000'000;
             job.started = l.clock().now() - 40;
             job.current = QStringLiteral("/media/me/EOS_DIGITAL/DCIM/100CANON/IMG_4021.CR3");
             l.setDevices({card()});
             l.setImportJob(job);
         }},
        {"strip-import-result", [](Library& l) {
             ImportResult result;
             result.count = 212;
             result.deleted = 212;
             result.folder = QDir::homePath() + QStringLiteral("/Pictures/Trip to Lisbon");
             result.device = card();
             l.setDevices({card()});
             l.setImportResult(result);
         }},
        {"strip-scan", [](Library& l) {
             l.setScanning(QStringLiteral("Backup Disk"));
             l.setScanFound(48'213);
         }},
        {"strip-indexing", [](Library& l) {
             l.setProcessing(true);
             l.setStatus({.found = 3'400, .identified = 120, .ready = 8'310, .failed = 4, .empty = 0});
             l.setSourceProgress({{QStringLiteral("DISK"), {8'314, 11'834}}});
             l.setRate(42);
             l.setInFlight({QStringLiteral("IMG_2211.JPG"), QStringLiteral("IMG_2212.JPG")});
         }},
        {"strip-waiting", [](Library& l) { l.setStatus({.found = 312}); }},
        {"strip-previews", [](Library& l) {
             l.setFullProcessing(true);
             l.setFullStatus({420, 1'310});
             l.setFullRate(1.5);
             l.setFullInFlight({QStringLiteral("IMG_0412.jpg")});
         }},
        {"strip-previews-paused", [](Library& l) { l.setFullStatus({420, 1'310}); }},
        {"sidebar", [](Library& l) {
             QList<Source> sources = l.sources();
             sources.prepend(Source{.id = "LIB", .name = "Photo Library", .rootPath = QDir::homePath() + "/Photo Library",
                                    .kind = SourceKind::photos});
             sources.prepend(Source{.id = "ME", .name = "This Computer", .rootPath = homePath()});
             l.setSources(sources);
             QList<FolderNode> trees = l.trees();
             trees.prepend(FolderNode{.id = "LIB", .sourceID = "LIB", .name = "Photo Library", .count = 2'480,
                                      .children = {FolderNode{.id = "LIB/#favorites", .sourceID = "LIB", .name = "Favorites",
                                                              .count = 120, .smart = SmartFilter::favorites}}});
             trees.prepend(FolderNode{.id = "ME", .sourceID = "ME", .name = "This Computer", .count = 312});
             l.setTrees(trees);
             l.setPinned({QStringLiteral("HOME|2026/Winter"), QStringLiteral("DISK|DCIM")});
             l.setSourceFilter(QStringLiteral("HOME"));
             l.setPathFilter(QStringLiteral("2026/Winter"));
             l.setFavoriteCount(1'234);
             l.setNotBackedUpCount(3);
             l.setDevices({card()});
             l.setSourceProgress({{QStringLiteral("DISK"), {8'314, 11'834}}});
             l.setVerification(SourceVerification{QStringLiteral("Pictures"), {.checked = 1'208}});
             l.setFailures({{QStringLiteral("2026/Winter/IMG_0999.HEIC"), QStringLiteral("The file is not a picture.")}});
             l.setLastError(QStringLiteral("Could not move IMG_0412.jpg to the Trash."));
         }},
        {"workspaces-many", [](Library& l) {
             QList<Workspace> many = l.workspaces();
             const QStringList symbols{"camera", "heart", "star", "airplane", "house", "briefcase"};
             for (int i = 1; i <= 10; ++i)
                 many.append(Workspace{.id = QStringLiteral("W%1").arg(i), .name = QStringLiteral("Trip %1").arg(i),
                                       .symbol = symbols[i % symbols.size()], .tint = QStringLiteral("orange")});
             l.setWorkspaces(many);
         }},
        {"sidebar-keyboard", nullptr},
        {"search-filters", [](Library& l) {
             l.setKindFilter(MediaKind::photo);
             l.setSourceFilter(QStringLiteral("HOME"));
             l.storeOnlyHere(true);
             l.setQuery(QStringLiteral("winter"));
         }},
    };
    all.merge(detailsStates());
    all.merge(cardStates());
    return all;
    }();
    return all;
}

// Whether the grid shows every item and each tile on screen that has a picture shows it.
bool tilesOnScreenFilled(const GridView& grid, const Library& library)
{
    const ItemGridModel& rows = grid.rows();
    if (rows.rowCount() != library.items().size())
        return false;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const grid::Cell& cell = rows.cell(row);
        if (cell.picturePath && grid.tileOnScreen(cell.id) && !grid.pictures().hasPicture(cell.id, *cell.picturePath))
            return false;
    }
    return true;
}

// Whether each picture shown beside the grid (the item's preview, the mosaic's cells) has arrived.
bool panePicturesShown(const RootView& root)
{
    for (const Thumbnail* picture : root.findChildren<Thumbnail*>()) {
        if (picture->isVisible() && picture->path() && QFileInfo::exists(*picture->path()) && !picture->hasPicture())
            return false;
    }
    return true;
}

// Whether each photo tile of the card grid on screen has been given its preview, or none, and
// each preview is decoded.
bool cardTilesOnScreenFilled(const CardGrid& grid)
{
    const ItemGridModel& rows = grid.rows();
    for (int row = 0; row < rows.rowCount(); ++row) {
        const grid::Cell& cell = rows.cell(row);
        if (!grid.visualRect(rows.index(row)).intersects(grid.viewport()->rect()))
            continue;
        const std::optional<QList<CardFile>>& files = grid.files();
        if (cell.placeholderSymbol == QStringLiteral("photo") && files && row < files->size()
            && !grid.previews().isKnown(files->at(row)))
            return false;
        if (cell.picturePath && !grid.pictures().hasPicture(cell.id, *cell.picturePath))
            return false;
    }
    return true;
}

// Waits until the pictures the state shows have been decoded, or for a few seconds at most.
void settle(const RootView& root, const Library& library)
{
    const auto ready = [&] {
        if (root.viewer().isVisible())
            return root.viewer().shownMedia().kind == FullscreenView::Media::Kind::none
                   || root.viewer().picture().hasPicture();
        if (root.content() == &root.grid())
            return tilesOnScreenFilled(root.grid(), library) && panePicturesShown(root);
        if (const auto* cards = qobject_cast<const CardGrid*>(root.content()))
            return cardTilesOnScreenFilled(*cards) && panePicturesShown(root);
        return panePicturesShown(root);
    };
    if (!QTest::qWaitFor(ready, settleMs))
        QTextStream(stderr) << "quorvin-shots: pictures still loading after " << settleMs << " ms" << Qt::endl;
    QTest::qWait(50);   // the last paint
}

// The window, with the dialog it presents drawn over it as a sheet below its toolbar.
QImage picture(MainWindow& window)
{
    QImage image = window.grab().toImage();
    if (QDialog* dialog = window.root().dialogs().dialog()) {
        const QImage sheet = dialog->grab().toImage();
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor(0, 0, 0, 40));
        const QPoint at((image.width() - sheet.width()) / 2, window.root().mapTo(&window, QPoint(0, 0)).y() + 48);
        painter.setPen(QColor(0, 0, 0, 80));
        painter.drawRect(QRect(at, sheet.size()).adjusted(-1, -1, 0, 0));
        painter.drawImage(at, sheet);
    }
    return image;
}

bool shoot(const QString& state, const QString& folder, QTextStream& out, QTextStream& err)
{
    Fixture fixture;
    MainWindow* window = fixture.application->openWindow();
    window->resize(windowSize);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        err << "quorvin-shots: the window of " << state << " did not become active" << Qt::endl;
        return false;
    }
    // The search of the empty index that the window starts ends before the fixture's items are
    // set, so that it does not take them away.
    const Library& library = *fixture.library;
    if (!QTest::qWaitFor([&] { return library.searchGeneration > 0 && Tasks::oneShotRunning() == 0; }, settleMs))
        err << "quorvin-shots: the first search of " << state << " has not ended" << Qt::endl;
    if (state == QStringLiteral("grid-500")) {
        fixture.fillPlaces();
        fixture.fillManyItems(500);
        Library& many = *fixture.library;
        many.select(many.items()[5]);
        many.click(many.items()[6], 1, std::nullopt, true, false);
        many.click(many.items()[13], 1, std::nullopt, true, false);
    } else if (state == QStringLiteral("sidebar-keyboard")) {
        // Tab has given the sidebar the keyboard: its selected row wears the focus ring.
        fixture.fillPlaces();
        fixture.fillItems();
        window->root().findChild<QWidget*>(QStringLiteral("sidebar"))->setFocus(Qt::TabFocusReason);
    } else if (const auto& apply = states().at(state)) {
        fixture.fillPlaces();
        fixture.fillItems();
        apply(*fixture.library);
    }
    settle(window->root(), *fixture.library);

    const QString path = QDir(folder).filePath(state + QStringLiteral(".png"));
    if (!picture(*window).save(path)) {
        err << "quorvin-shots: cannot write " << path << Qt::endl;
        return false;
    }
    out << path << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Card previews are made into a cache of the run's own, not the user's.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        err << "usage: quorvin-shots OUTDIR [STATE...]\nstates:";
        for (const auto& [name, apply] : states())
            err << ' ' << name;
        err << ' ' << settingsStates().join(u' ') << Qt::endl;
        return 2;
    }
    const QString folder = arguments.takeFirst();
    if (!QDir().mkpath(folder)) {
        err << "quorvin-shots: cannot create " << folder << Qt::endl;
        return 1;
    }
    if (arguments.isEmpty()) {
        for (const auto& [name, apply] : states())
            arguments.append(name);
        arguments += settingsStates();
    }
    for (const QString& state : std::as_const(arguments)) {
        if (!states().contains(state) && !settingsStates().contains(state)) {
            err << "quorvin-shots: no state " << state << Qt::endl;
            return 2;
        }
    }
    bool written = true;
    for (const QString& state : std::as_const(arguments))
        written = (settingsStates().contains(state) ? shootSettings(state, folder, out, err)
                                                    : shoot(state, folder, out, err)) && written;
    return written ? 0 : 1;
}
