#include "Pellmar/views/kit/ShareMenu.h"

#include "Pellmar/platform/ShareServices.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

ShareMenu::ShareMenu(std::shared_ptr<const ShareServices> services) : services_(std::move(services)) {}

QObject* ShareMenu::show(const QStringList& filePaths, std::optional<QRect> screenRect)
{
    QWidget* window = QApplication::activeWindow();
    if (!screenRect && !window)
        return nullptr;
    auto* menu = new QMenu(window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const ShareServices::Service service : services_->available()) {
        QObject::connect(menu->addAction(ShareServices::title(service)), &QAction::triggered, menu,
                         [services = services_, service, filePaths] { services->share(service, filePaths); });
    }
    menu->popup(screenRect ? screenRect->bottomLeft() + QPoint(0, 1) : QCursor::pos());
    return menu;
}
