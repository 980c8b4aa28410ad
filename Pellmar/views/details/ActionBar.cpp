#include "Pellmar/views/details/ActionBar.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/details/ItemMenus.h"
#include "Pellmar/views/details/MenuRules.h"
#include "Pellmar/views/details/PanelFrame.h"
#include "Pellmar/views/kit/FlowLayout.h"

#include <QMenu>
#include <QPointer>
#include <QPushButton>

ActionBar::ActionBar(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , row_(new FlowLayout(this, 8))
{
}

QPushButton* ActionBar::button(const QString& title) const
{
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

void ActionBar::showItem(const Item& item)
{
    clearLayout(*row_);
    const inspector::ItemFacts facts = inspector::ItemFacts::of(library_, item, library_.locations());
    const std::optional<QString> shareFile = library_.fileFactsOf(item).shareFile;
    QPointer<Library> owner(&library_);
    for (const inspector::MenuEntry& entry : inspector::actionBarEntries(facts)) {
        auto* button = new QPushButton(entry.title, this);
        row_->addWidget(button);
        using inspector::Action;
        switch (entry.action) {
        case Action::open:
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, [this, item] { library_.open(item); });
            break;
        case Action::openIn: {
            // Built when opened, so that the applications are looked up only when asked for.
            auto* apps = new QMenu(button);
            connect(apps, &QMenu::aboutToShow, apps, [this, apps, item] {
                apps->clear();
                inspector::fillOpenInMenu(*apps, library_, item);
            });
            button->setMenu(apps);
            break;
        }
        case Action::showInPhotos:
            connect(button, &QPushButton::clicked, this, [owner, item] {
                if (owner)
                    Tasks::start(owner->showInPhotos(item));
            });
            break;
        case Action::share:
            connect(button, &QPushButton::clicked, this, [this, shareFile] {
                if (shareFile)
                    library_.share({*shareFile}, QStringLiteral("inspector"));
            });
            break;
        case Action::favorite:
            connect(button, &QPushButton::clicked, this, [this, item] { library_.flipFavorite(item); });
            break;
        default:
            break;
        }
    }
}
