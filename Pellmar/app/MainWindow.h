#pragma once

#include <QMainWindow>

class Application;
class RootView;

// A main window: the root view of the Library under the program's menus. Deleted when closed.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Application& application, QWidget* parent = nullptr);

    RootView& root() const { return *root_; }

private:
    RootView* root_;
};
