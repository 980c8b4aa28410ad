#include "Pellmar/app/Application.h"
#include "Pellmar/app/FeedUpdater.h"
#include "Pellmar/app/StallMonitor.h"
#include "Pellmar/app/StartupScreenshot.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/media/CardPreviews.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/platform/ShareServices.h"
#include "Pellmar/views/details/ProxyPlayer.h"
#include "Pellmar/views/frame/FileDialogFolderChooser.h"
#include "Pellmar/views/grid/GridCell.h"
#include "Pellmar/views/grid/QuickLookWindow.h"
#include "Pellmar/views/kit/ShareMenu.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextStream>

#include <cstring>
#include <memory>
#include <optional>

namespace {

// The value after `wanted` ("--screenshot FILE"), or nothing.
std::optional<QString> argumentValue(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return std::nullopt;
}

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0)
            return true;
    }
    return false;
}

// An error the program cannot go on after, shown in a dialog as well as on standard error; the
// program ends with exit code 1 once the dialog is closed.
void showFatalStop(const QString& message)
{
    QTextStream(stderr) << "quorvin: " << message << Qt::endl;
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Quorvin"),
                                QStringLiteral("Quorvin cannot open its index.\n\n") + message, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, [] { QCoreApplication::exit(1); });
    box->open();
}

} // namespace

int main(int argc, char** argv)
{
    // The start-up check runs without a display: it needs no window, and a QApplication would
    // refuse to start where no display server exists.
    const bool exitAfterStartup = hasArgument(argc, argv, "--exit-after-startup");
    std::unique_ptr<QCoreApplication> app = exitAfterStartup ? std::make_unique<QCoreApplication>(argc, argv)
                                                             : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));
    if (!exitAfterStartup)
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvin.svg")));

    Library::Services services = Library::Services::system();
    if (!exitAfterStartup) {
        services.fatalStop = showFatalStop;
        services.folderChooser = std::make_shared<FileDialogFolderChooser>();
        services.desktop = systemDesktop();
        services.sharePicker = std::make_shared<ShareMenu>(
            std::make_shared<ShareServices>(services.desktop, ShareServices::findEmailProgram(), [] {
                return privateFolder(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                                     + QStringLiteral("/QuorvinAttachments"));
            }));
    }
    Library library(std::move(services));
    QTextStream out(stdout);
    out << "support folder: " << library.supportDirectory() << Qt::endl
        << "index: " << library.supportDirectory() << "/index.sqlite" << Qt::endl
        << "selection reader: " << (library.reader() ? "open" : "not open") << Qt::endl;

    if (exitAfterStartup) {
        QObject::connect(&library, &Library::startupFinished, app.get(), &QCoreApplication::quit, Qt::QueuedConnection);
        const int code = QCoreApplication::exec();
        // Without a window to offer Rebuild Index, a damaged index is a failed start.
        if (const std::optional<QString> damage = library.indexDamage()) {
            QTextStream(stderr) << "quorvin: " << *damage << Qt::endl;
            return code != 0 ? code : 1;
        }
        return code;
    }

    // The grid's first document caption and type icon should not wait for the MIME database.
    library.pools().run(Priority::utility, [] { grid::loadTypeDatabase(); });
    // Nor the first video its player.
    library.pools().run(Priority::utility, [] { ProxyPlayer::startBackend(); });
    // The program ends with its last main window, not with the last window of any kind.
    QApplication::setQuitOnLastWindowClosed(false);
    FeedUpdater updater(library.defaults(), library.pools(), QStringLiteral(QUORVIN_VERSION));
    updater.start();
    // One preview window for every main window's Space key.
    QuickLookWindow quickLook(library, library.pools());
    Application windows(library, updater);
    QObject::connect(&windows, &Application::lastWindowClosed, app.get(), &QCoreApplication::quit);
    MainWindow* window = windows.openWindow();
    if (const std::optional<QString> screenshot = argumentValue(argc, argv, "--screenshot"))
        takeStartupScreenshot(library, windows, *window, *screenshot);
    std::unique_ptr<StallMonitor> stalls;
    if (const std::optional<QString> stallLog = argumentValue(argc, argv, "--stall-log"))
        stalls = std::make_unique<StallMonitor>(*stallLog);
    const int code = QCoreApplication::exec();
    if (stalls && !stalls->write())
        return code != 0 ? code : 1;
    return code;
}
