#include "Pellmar/app/Application.h"

#include "Pellmar/app/MainWindow.h"
#include "Pellmar/app/Updater.h"
#include "Pellmar/views/settings/SettingsWindow.h"
#include "Pellmar/views/workspace/WorkspaceSheet.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextDocument>

Application::Application(Library& library, Updater& updater, QObject* parent)
    : QObject(parent)
    , library_(library)
    , updater_(updater)
{
    connect(&updater_, &Updater::checked, this, &Application::showUpdateAnswer);
}

Application::~Application()
{
    // Windows are deleted here, before the Library they show.
    const QList<MainWindow*> open = windows_;
    for (MainWindow* window : open) {
        disconnect(window, nullptr, this, nullptr);
        delete window;
    }
    delete settings_;
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

void Application::showUpdateAnswer(const QString& title, const QString& message)
{
    if (windows_.isEmpty())
        return;
    QWidget* window = windows_.first();
    for (MainWindow* open : std::as_const(windows_)) {
        if (open->isActiveWindow())
            window = open;
    }
    auto* box = new QMessageBox(QMessageBox::Information, title, title, QMessageBox::Ok, window);
    // The message quotes the feed, which is shown as written: Qt would read markup in it as rich
    // text, with live links.
    box->setInformativeText(Qt::convertFromPlainText(message));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

SettingsWindow* Application::showSettings()
{
    if (!settings_)
        settings_ = new SettingsWindow(library_, IndexActions::of(library_),
                                       [this](const Workspace& workspace, QWidget* parent) -> QDialog* {
                                           return new WorkspaceSheet(library_, workspace, parent);
                                       });
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
    return settings_;
}
