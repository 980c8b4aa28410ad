#include "Pellmar/views/destination/DestinationBrowser.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/SourceOrder.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/media/PhotosReading.h"
#include "Pellmar/platform/PhotoLibrary.h"
#include "Pellmar/views/destination/FolderColumns.h"
#include "Pellmar/views/frame/AlertDialog.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace destination;

namespace {

constexpr int placeListWidth = 180;
constexpr int groupListWidth = 200;
constexpr int searchWidth = 200;
constexpr int rowHeight = 24;
enum Page { emptyPage, folderPage, albumPage };
enum Role { kindRole = Qt::UserRole, indexRole, idRole };

QFrame* divider(Qt::Orientation orientation, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Vertical ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QListWidget* rowList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setFrameShape(QFrame::NoFrame);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setSpacing(1);
    list->setIconSize(QSize(14, 14));
    return list;
}

// A row of either list: its symbol in the accent colour and a tinted background while highlighted.
QListWidgetItem* addRow(QListWidget* list, const QString& title, const QString& symbol, bool highlighted)
{
    const QPalette& palette = list->palette();
    const QColor accent = palette.color(QPalette::Highlight);
    auto* item = new QListWidgetItem(Icons::icon(symbol, highlighted ? accent : secondaryTextColor(palette)), title, list);
    item->setSizeHint(QSize(0, rowHeight));
    if (highlighted) {
        QColor tint = accent;
        tint.setAlphaF(0.18);
        item->setBackground(tint);
    }
    return item;
}

void addHeader(QListWidget* list, const QString& title)
{
    auto* item = new QListWidgetItem(title, list);
    QFont font = list->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setWeight(QFont::DemiBold);
    item->setFont(font);
    item->setForeground(secondaryTextColor(list->palette()));
    item->setFlags(Qt::NoItemFlags);
    item->setSizeHint(QSize(0, rowHeight + 6));
    item->setData(kindRole, int(PlaceRow::Kind::header));
}

QCoro::Task<> loadRecent(QPointer<DestinationBrowser> browser, Library& library,
                         std::function<void(DestinationBrowser&, QList<ImportTarget>)> apply)
{
    QList<ImportTarget> recent = co_await library.recentImportTargets();
    if (browser)
        apply(*browser, std::move(recent));
}

} // namespace

PhotosAlbums PhotosAlbums::system()
{
    return {[] { return isPhotoAccessGranted(sharedPhotoLibrary()->authorizationStatus()); },
            [] { return logDuplicateFolderNames(*sharedPhotoLibrary()); }};
}

DestinationBrowser::DestinationBrowser(Library& library, bool allowsNewAlbum, QWidget* parent)
    : DestinationBrowser(library, allowsNewAlbum, PhotosAlbums::system(), poolFolderLister(library.pools()), parent)
{
}

DestinationBrowser::DestinationBrowser(Library& library, bool allowsNewAlbum, PhotosAlbums photos,
                                       std::unique_ptr<FolderLister> lister, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , allowsNewAlbum_(allowsNewAlbum)
    , photos_(std::move(photos))
    , places_(rowList(this))
    , caption_(new ElidedLabel(this, Qt::ElideLeft))
    , middle_(new QStackedWidget(this))
    , columns_(new FolderColumns(std::move(lister), middle_))
    , groups_(rowList(this))
    , albums_(rowList(this))
    , action_(new QPushButton(this))
    , search_(new QLineEdit(this))
{
    places_->setObjectName(QStringLiteral("places"));
    places_->setFixedWidth(placeListWidth);
    places_->setAutoFillBackground(true);
    QPalette quiet = places_->palette();
    QColor background = quiet.color(QPalette::Window);
    background.setAlphaF(0.4);
    quiet.setColor(QPalette::Base, background);
    places_->setPalette(quiet);
    connect(places_, &QListWidget::itemClicked, this, &DestinationBrowser::placeClicked);

    caption_->setObjectName(QStringLiteral("caption"));
    QPalette secondary = caption_->palette();
    secondary.setColor(QPalette::WindowText, secondaryTextColor(secondary));
    caption_->setPalette(secondary);
    caption_->setContentsMargins(9, 0, 0, 0);

    auto* albumPane = new QWidget(middle_);
    auto* albumLayout = new QHBoxLayout(albumPane);
    albumLayout->setContentsMargins(0, 0, 0, 0);
    albumLayout->setSpacing(0);
    groups_->setObjectName(QStringLiteral("groups"));
    groups_->setFixedWidth(groupListWidth);
    albums_->setObjectName(QStringLiteral("albums"));
    albumLayout->addWidget(groups_);
    albumLayout->addWidget(divider(Qt::Vertical, albumPane));
    albumLayout->addWidget(albums_, 1);
    connect(groups_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        albumFolder_ = item->data(idRole).toString();
        refresh();
    });
    connect(albums_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int index = item->data(indexRole).toInt();
        const QList<PhotosNode> shown = filterAlbums(albumGroups(albumTree_), albumFolder_, search_->text());
        if (index >= 0 && index < shown.size())
            choose(albumTarget(shown[index]));
    });
    middle_->insertWidget(emptyPage, new QWidget(middle_));
    middle_->insertWidget(folderPage, columns_);
    middle_->insertWidget(albumPage, albumPane);
    columns_->coordinator().onPick = [this](const std::optional<QString>& folder) {
        choose(folder ? std::optional(ImportTarget::folder(*folder)) : std::nullopt);
    };

    action_->setObjectName(QStringLiteral("newFolder"));
    connect(action_, &QPushButton::clicked, this, &DestinationBrowser::askName);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setFixedWidth(searchWidth);
    // The clear button draws our own symbol: the style's would load the icon theme on the GUI
    // thread as the sheet opens.
    auto* clear = search_->addAction(Icons::icon(QStringLiteral("xmark.circle.fill"), secondaryTextColor(palette())),
                                     QLineEdit::TrailingPosition);
    clear->setObjectName(QStringLiteral("clearSearch"));
    clear->setToolTip(QStringLiteral("Clear"));
    clear->setVisible(false);
    connect(clear, &QAction::triggered, search_, &QLineEdit::clear);
    connect(search_, &QLineEdit::textChanged, clear, [clear](const QString& text) { clear->setVisible(!text.isEmpty()); });
    connect(search_, &QLineEdit::textChanged, this, &DestinationBrowser::refresh);

    auto* bar = new QHBoxLayout;
    bar->addWidget(action_);
    bar->addStretch(1);
    bar->addWidget(search_);
    auto* right = new QVBoxLayout;
    right->setContentsMargins(12, 12, 12, 12);
    right->setSpacing(8);
    right->addWidget(caption_);
    right->addWidget(middle_, 1);
    right->addLayout(bar);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(places_);
    layout->addWidget(divider(Qt::Vertical, this));
    layout->addLayout(right, 1);

    refresh();
}

DestinationBrowser::~DestinationBrowser() = default;

void DestinationBrowser::setTarget(const std::optional<ImportTarget>& target)
{
    if (target_ == target)
        return;
    target_ = target;
    refresh();
}

void DestinationBrowser::choose(const std::optional<ImportTarget>& target)
{
    if (target_ == target)
        return;
    target_ = target;
    refresh();
    Q_EMIT targetChanged(target_);
}

BrowserInput DestinationBrowser::input() const
{
    QList<Source> locations = library_.importLocations();
    sortInSourceOrder(locations);
    return {target_, root_, recent_, locations, photos_.access && photos_.access(), allowsNewAlbum_,
            [this](const ImportTarget& target) { return library_.destinationLabel(target); }};
}

void DestinationBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    load();
}

void DestinationBrowser::load()
{
    const quint64 show = ++shows_;
    albumsLoaded_ = false;
    recentLoaded_ = false;
    if (photos_.access && photos_.access() && photos_.readTree) {
        library_.pools().run(Priority::userInitiated, photos_.readTree).then(this, [this, show](const QList<PhotosNode>& tree) {
            if (show != shows_)
                return;
            albumTree_ = tree;
            albumsLoaded_ = true;
            refresh();
        });
    } else {
        albumsLoaded_ = true;
    }
    Tasks::start(loadRecent(this, library_, [show](DestinationBrowser& browser, QList<ImportTarget> recent) {
        if (show != browser.shows_)
            return;
        browser.recent_ = std::move(recent);
        browser.recentLoaded_ = true;
        browser.refresh();
    }));
}

void DestinationBrowser::refresh()
{
    const BrowserInput in = input();
    const std::optional<QString> place = currentPlace(in);
    if (!placeShown_ || place != shownPlace_) {
        // A new place starts with an empty search; the first one keeps what is there.
        const bool moved = placeShown_;
        placeShown_ = true;
        shownPlace_ = place;
        if (moved && !search_->text().isEmpty()) {
            search_->clear();   // refreshes again
            return;
        }
    }

    fillPlaces(in);
    caption_->setFullText(caption(in));
    const BottomBar bar = bottomBar(in);
    action_->setVisible(bar.button.has_value());
    action_->setText(bar.button.value_or(QString()));
    action_->setEnabled(bar.buttonEnabled);
    search_->setPlaceholderText(bar.placeholder);

    if (photosMode(in)) {
        middle_->setCurrentIndex(albumPage);
        fillAlbums(in);
    } else if (const std::optional<Source> location = currentLocation(in)) {
        middle_->setCurrentIndex(folderPage);
        std::optional<QString> selection;
        if (target_)
            if (const auto* folder = std::get_if<ImportTarget::Folder>(&target_->destination))
                if (isAtOrBelow(folder->url, location->rootPath))
                    selection = folder->url;
        QStringList excluded;
        for (const Device& device : library_.devices())
            excluded.append(device.url);
        columns_->update({location->rootPath, excluded, search_->text(), reload_, selection});
    } else {
        middle_->setCurrentIndex(emptyPage);
    }
}

void DestinationBrowser::fillPlaces(const BrowserInput& in)
{
    places_->clear();
    for (const PlaceRow& row : placeRows(in)) {
        if (row.kind == PlaceRow::Kind::header) {
            addHeader(places_, row.title);
            continue;
        }
        QListWidgetItem* item = addRow(places_, row.title, row.symbol, row.highlighted);
        item->setData(kindRole, int(row.kind));
        item->setData(indexRole, row.index);
    }
}

void DestinationBrowser::fillAlbums(const BrowserInput& in)
{
    const QList<AlbumGroup> groups = albumGroups(albumTree_);
    const bool searching = !search_->text().trimmed().isEmpty();
    groups_->clear();
    for (const AlbumGroup& group : groups) {
        const bool top = group.id == QString::fromUtf16(topAlbumsGroup);
        QListWidgetItem* item = addRow(groups_, group.name, top ? QStringLiteral("rectangle.stack") : QStringLiteral("folder"),
                                       !searching && albumFolder_ == group.id);
        item->setData(idRole, group.id);
    }
    albums_->clear();
    const QList<PhotosNode> shown = filterAlbums(groups, albumFolder_, search_->text());
    for (int i = 0; i < shown.size(); ++i) {
        QListWidgetItem* item = addRow(albums_, searching ? shown[i].path : shown[i].name, QStringLiteral("rectangle.stack"),
                                       in.target == albumTarget(shown[i]));
        item->setData(indexRole, i);
    }
    if (in.target)
        if (const auto* album = std::get_if<ImportTarget::NewAlbum>(&in.target->destination)) {
            QListWidgetItem* item = addRow(albums_, album->name + tr(" (new)"), QStringLiteral("plus.rectangle.on.rectangle"), true);
            item->setData(indexRole, -1);
        }
}

void DestinationBrowser::placeClicked(QListWidgetItem* item)
{
    const BrowserInput in = input();
    const int index = item->data(indexRole).toInt();
    switch (PlaceRow::Kind(item->data(kindRole).toInt())) {
    case PlaceRow::Kind::header:
        return;
    case PlaceRow::Kind::recent:
        if (index < 0 || index >= in.recent.size())
            return;
        root_ = rootKey(in.recent[index], in.locations);
        choose(in.recent[index]);
        break;
    case PlaceRow::Kind::location:
        if (index < 0 || index >= in.locations.size())
            return;
        root_ = in.locations[index].id;
        choose(ImportTarget::folder(in.locations[index].rootPath));
        break;
    case PlaceRow::Kind::photos:
        root_ = QString::fromUtf16(photosPlace);
        if (target_ && std::holds_alternative<ImportTarget::Folder>(target_->destination))
            choose(std::nullopt);
        break;
    }
    refresh();
}

void DestinationBrowser::askName()
{
    if (prompt_)
        return;
    const bool photos = photosMode(input());
    prompt_ = new AlertDialog(photos ? tr("New Album") : tr("New Folder"), QString(), tr("Create"),
                              AlertDialog::Role::normal, this);
    prompt_->setAttribute(Qt::WA_DeleteOnClose);
    prompt_->addField(tr("Name"))->setPlaceholderText(tr("Name"));
    connect(prompt_, &QDialog::accepted, this, [this, prompt = prompt_] { create(prompt->field()->text()); });
    prompt_->open();
}

void DestinationBrowser::create(const QString& typed)
{
    const QString name = trimBlanks(typed);
    if (name.isEmpty())
        return;
    const BrowserInput in = input();
    if (photosMode(in)) {
        choose(ImportTarget::newAlbum(name));
        return;
    }
    const std::optional<Source> location = currentLocation(in);
    if (!location)
        return;
    const QString parent = newFolderParent(target_, location->rootPath);
    library_.pools()
        .run(Priority::userInitiated, [name, parent] { return createFolder(name, parent); })
        .then(this, [this, name](const CreatedFolder& made) {
            if (made.path.isEmpty()) {
                library_.setLastError(tr("Could not create ") + name + QStringLiteral(". ") + made.error);
                return;
            }
            ++reload_;
            choose(ImportTarget::folder(made.path));
            refresh();
        });
}
