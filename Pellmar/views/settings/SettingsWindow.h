#pragma once

#include "Pellmar/views/settings/IndexSettings.h"
#include "Pellmar/views/settings/SidebarSettings.h"

#include <QWidget>

class Library;
class QStackedWidget;
class QTabBar;

// The Settings window: a tab per settings page over the page shown, 460 pixels wide, as tall as
// the page shown.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int tabWidth = 460;

    // Without a workspace editor the Sidebar page cannot open one.
    SettingsWindow(Library& library, IndexActions indexActions, WorkspaceSheetFactory workspaceSheet = {},
                   QWidget* parent = nullptr);

    QTabBar& tabBar() const { return *tabBar_; }
    QStackedWidget& pages() const { return *pages_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addPage(QWidget* page, const QString& symbol, const QString& title);
    // Shows the page of the current tab and sizes the window to it: the other pages do not count.
    void showPage(int index);

    QTabBar* tabBar_;
    QStackedWidget* pages_;
};
