#include "Pellmar/views/details/GroupPanel.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/views/details/GroupRules.h"
#include "Pellmar/views/details/MenuRules.h"
#include "Pellmar/views/details/Mosaic.h"
#include "Pellmar/views/kit/FlowLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

GroupPanel::GroupPanel(Library& library, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , mosaic_(new Mosaic(library.pools(), &content()))
    , anchor_(new ShareAnchor(library, QStringLiteral("group"), [this]() -> std::optional<QRect> {
        if (!mosaic_->isVisible() || !window()->isVisible())
            return std::nullopt;
        return QRect(mosaic_->mapToGlobal(QPoint(0, 0)), mosaic_->size());
    }, this))
    , title_(panelLabel(TextStyle::headline, false, &content()))
    , subtitle_(panelLabel(TextStyle::callout, true, &content()))
    , firstRow_(new FlowLayout(nullptr, 8))
    , secondRow_(new FlowLayout(nullptr, 8))
{
    setObjectName(QStringLiteral("groupPanel"));
    subtitle_->setWordWrap(true);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    buttons->addLayout(firstRow_);
    buttons->addLayout(secondRow_);

    QVBoxLayout& col = column();
    col.addWidget(mosaic_);
    col.addWidget(title_);
    col.addWidget(subtitle_);
    col.addWidget(panelDivider(&content()));
    col.addLayout(buttons);
    col.addStretch(1);
}

QPushButton* GroupPanel::button(const QString& title) const
{
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

void GroupPanel::refresh()
{
    const QList<Item> group = library_.selectedItems();
    QList<std::optional<QString>> pictures;
    qint64 total = 0;
    for (const Item& item : group) {
        if (pictures.size() < Mosaic::cells)
            pictures.append(library_.previewURL(item));
        const QList<Location> copies = library_.locationsOf(item);
        const auto largest = std::max_element(copies.cbegin(), copies.cend(),
                                              [](const Location& a, const Location& b) { return a.size < b.size; });
        total += largest == copies.cend() ? 0 : largest->size;
    }
    mosaic_->setPaths(pictures);
    title_->setText(inspector::groupTitle(group.size()));
    subtitle_->setText(inspector::groupSubtitle(total, inspector::kindsText(group)));

    clearLayout(*firstRow_);
    clearLayout(*secondRow_);
    const inspector::GroupFacts facts = inspector::GroupFacts::of(library_, group);
    const auto add = [this](FlowLayout* row, const QString& title, auto action) {
        auto* button = new QPushButton(title, &content());
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
        return button;
    };
    add(firstRow_, QStringLiteral("Copy"), [this] { library_.copySelectedItems(); })->setDefault(true);
    add(firstRow_, QStringLiteral("Share"), [this] { library_.shareSelection(QStringLiteral("group")); });
    add(firstRow_, facts.allFavorite ? QStringLiteral("Remove from Favorites") : QStringLiteral("Add to Favorites"),
        [this, group, on = !facts.allFavorite] { library_.setFavorites(on, group); });
    // Downloads act on the selection as it is when clicked.
    const auto eachCloudCopy = [this](bool downloaded) {
        for (const Item& item : library_.selectedItems()) {
            const std::optional<Library::CloudCopy> cloud = library_.fileFactsOf(item).cloud;
            if (cloud && cloud->downloaded == downloaded)
                downloaded ? library_.removeDownload(cloud->location) : library_.download(cloud->location);
        }
    };
    if (facts.anyNotDownloaded)
        add(secondRow_, QStringLiteral("Download"), [eachCloudCopy] { eachCloudCopy(false); });
    if (facts.anyDownloaded)
        add(secondRow_, QStringLiteral("Remove Download"), [eachCloudCopy] { eachCloudCopy(true); });
    if (facts.anyReachable)
        add(secondRow_, QStringLiteral("Move to Trash"), [this] { library_.requestGroupTrash(); });
}
