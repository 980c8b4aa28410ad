#include "Pellmar/views/settings/SettingsWindow.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/settings/GeneralSettings.h"
#include "Pellmar/views/settings/PreviewSettings.h"

#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(Library& library, IndexActions indexActions, WorkspaceSheetFactory workspaceSheet,
                               QWidget* parent)
    : QWidget(parent, Qt::Window)
    , tabBar_(new QTabBar(this))
    , pages_(new QStackedWidget(this))
{
    setWindowTitle(tr("Settings"));
    tabBar_->setDocumentMode(true);
    tabBar_->setExpanding(false);
    tabBar_->setFocusPolicy(Qt::TabFocus);
    addPage(new GeneralSettings(library, pages_), QStringLiteral("gearshape"), tr("General"));
    addPage(new SidebarSettings(library, std::move(workspaceSheet), pages_), QStringLiteral("sidebar.left"), tr("Sidebar"));
    addPage(new PreviewSettings(library.defaults(), pages_), QStringLiteral("photo"), tr("Previews"));
    addPage(new IndexSettings(library, std::move(indexActions), pages_), QStringLiteral("internaldrive"), tr("Index"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tabBar_);
    layout->addWidget(pages_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    pages_->setFixedWidth(tabWidth);
    connect(tabBar_, &QTabBar::currentChanged, this, &SettingsWindow::showPage);
    showPage(tabBar_->currentIndex());

    // Escape and Ctrl+W close the window, as they close a panel.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this, this, &QWidget::close);
}

void SettingsWindow::addPage(QWidget* page, const QString& symbol, const QString& title)
{
    tabBar_->addTab(Icons::icon(symbol), title);
    pages_->addWidget(page);
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    // Pages take part in the layout only once the window is shown.
    showPage(tabBar_->currentIndex());
    QWidget::showEvent(event);
}

void SettingsWindow::showPage(int index)
{
    for (int i = 0; i < pages_->count(); ++i) {
        const QSizePolicy::Policy policy = i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        pages_->widget(i)->setSizePolicy(policy, policy);
    }
    pages_->setCurrentIndex(index);
    // The stack's size hint is cached by the window's layout: drop it before laying out again.
    pages_->updateGeometry();
    layout()->activate();
}
