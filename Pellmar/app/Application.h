#pragma once

#include <QList>
#include <QObject>

class Library;
class MainWindow;

// The program's windows over its one Library: every main window shows the same Library, and
// when the last main window has closed the program is done.
class Application : public QObject {
    Q_OBJECT
public:
    // `library` must outlive the Application.
    explicit Application(Library& library, QObject* parent = nullptr);
    // Closes the windows that are still open.
    ~Application() override;

    Library& library() const { return library_; }

    // Opens and shows another main window on the Library.
    MainWindow* openWindow();
    void closeAllWindows();
    const QList<MainWindow*>& windows() const { return windows_; }

Q_SIGNALS:
    // The last main window has closed (main ends the program on it).
    void lastWindowClosed();

private:
    Library& library_;
    QList<MainWindow*> windows_;
};
