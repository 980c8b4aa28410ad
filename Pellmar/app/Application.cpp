#include "Pellmar/app/Application.h"

#include "Pellmar/app/MainWindow.h"

Application::Application(Library& library, QObject* parent)
    : QObject(parent)
    , library_(library)
{
}

Application::~Application()
{
    // Windows are deleted here, before the Library they show.
    const QList<MainWindow*> open = windows_;
    for (MainWindow* window : open) {
        disconnect(window, nullptr, this, nullptr);
        delete window;
    }
}

MainWindow* Application::openWindow()
{
    auto* window = new MainWindow(*this);
    windows_.append(window);
    connect(window, &QObject::destroyed, this, [this, window] {
        windows_.removeOne(window);
        if (windows_.isEmpty())
            Q_EMIT lastWindowClosed();
    });
    window->show();
    return window;
}

void Application::closeAllWindows()
{
    const QList<MainWindow*> open = windows_;
    for (MainWindow* window : open)
        window->close();
}
