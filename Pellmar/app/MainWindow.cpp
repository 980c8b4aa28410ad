#include "Pellmar/app/MainWindow.h"

#include "Pellmar/app/Application.h"
#include "Pellmar/app/MainMenus.h"
#include "Pellmar/views/frame/RootView.h"

namespace {

constexpr QSize initialSize(1280, 800);

} // namespace

MainWindow::MainWindow(Application& application, QWidget* parent)
    : QMainWindow(parent)
    , root_(new RootView(application.library(), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quorvin"));
    setCentralWidget(root_);
    new MainMenus(*this, application, application.library());
    resize(initialSize);
}
