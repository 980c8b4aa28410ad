#include "Pellmar/app/StartupScreenshot.h"

#include "Pellmar/app/Application.h"
#include "Pellmar/app/MainWindow.h"
#include "Pellmar/library/Library.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

namespace {

// How often the window is looked at until the display server shows it.
constexpr int exposePollMs = 50;

void grabWhenExposed(Application& application, QPointer<MainWindow> window, const QString& path)
{
    if (!window)
        return;
    if (!window->windowHandle() || !window->windowHandle()->isExposed()) {
        QTimer::singleShot(exposePollMs, &application, [&application, window, path] {
            grabWhenExposed(application, window, path);
        });
        return;
    }
    const bool saved = window->grab().save(path);
    QTextStream(saved ? stdout : stderr) << (saved ? "screenshot: " : "quorvin: cannot write the screenshot ")
                                         << path << Qt::endl;
    application.closeAllWindows();
    if (!saved)
        QCoreApplication::exit(1);
}

} // namespace

void takeStartupScreenshot(Library& library, Application& application, MainWindow& window, const QString& path)
{
    QObject::connect(&library, &Library::startupFinished, &application,
                     [&application, target = QPointer<MainWindow>(&window), path] {
                         grabWhenExposed(application, target, path);
                     }, Qt::QueuedConnection);
}
