#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class Library;
class MainWindow;
class SettingsWindow;
class Updater;

// The program's windows over its one Library: every main window shows the same Library, and
// when the last main window has closed the program is done.
class Application : public QObject {
    Q_OBJECT
public:
    // `library` and `updater` must outlive the Application. The answers of the updater's checks
    // are shown in the active main window.
    Application(Library& library, Updater& updater, QObject* parent = nullptr);
    // Closes the windows that are still open.
    ~Application() override;

    Library& library() const { return library_; }
    Updater& updater() const { return updater_; }

    // Opens and shows another main window on the Library.
    MainWindow* openWindow();
    void closeAllWindows();
    // Shows the one Settings window of the program, made the first time, and brings it forward.
    SettingsWindow* showSettings();
    const QList<MainWindow*>& windows() const { return windows_; }

Q_SIGNALS:
    // The last main window has closed (main ends the program on it).
    void lastWindowClosed();

private:
    void showUpdateAnswer(const QString& title, const QString& message);

    Library& library_;
    Updater& updater_;
    QList<MainWindow*> windows_;
    QPointer<SettingsWindow> settings_;
};
