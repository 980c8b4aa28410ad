#pragma once

#include <QString>

class Application;
class Library;
class MainWindow;

// For checks of the real program under a display server (--screenshot FILE): once the Library's
// start-up has finished and the window is on screen, the window's own picture goes to `path`, and
// the program ends, with exit code 1 when the file could not be written.
void takeStartupScreenshot(Library& library, Application& application, MainWindow& window, const QString& path);
