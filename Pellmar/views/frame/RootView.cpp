#include "Pellmar/views/frame/RootView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/device/CardGrid.h"
#include "Pellmar/views/device/ImportSheet.h"
#include "Pellmar/views/frame/DialogPresenter.h"
#include "Pellmar/views/frame/FullscreenView.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/details/DetailsPane.h"
#include "Pellmar/views/details/ItemMenus.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/sidebar/SidebarView.h"
#include "Pellmar/views/workspace/WorkspaceSheet.h"
#include "Pellmar/views/strip/ActivityStrip.h"
#include "Pellmar/views/toolbar/SearchBar.h"
#include "Pellmar/views/toolbar/SearchToolbar.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int sidebarMinimumWidth = 220;
constexpr int sidebarWidth = 260;
constexpr int inspectorMinimumWidth = 280;
constexpr int inspectorWidth = 340;
constexpr int inspectorMaximumWidth = 420;
// The detail column's width before it is first laid out.
constexpr int unmeasuredContentWidth = 600;

// An empty pane that another view takes the place of.
// The viewer's preview-folder files, as the Library names them.
FullscreenView::Files viewerFiles(const Library& library)
{
    return {[&library](const Item& item) { return library.proxyURL(item); },
            [&library](const Item& item) { return library.imageURL(item); }};
}

// The confirmations' operations that the Library offers; the others keep their buttons off.
DialogActions dialogActions(Library& library)
{
    DialogActions actions;
    actions.removeWorkspace = [&library](const Workspace& workspace) { library.removeWorkspace(workspace); };
    actions.moveToTrash = [&library](const QList<ItemCopy>& copies) { Tasks::start(library.moveToTrash(copies)); };
    actions.trash = [&library](const ItemCopy& copy) { library.trash(copy.item, copy.location); };
    actions.removeSource = [&library](const Source& source) { Tasks::start(library.removeSource(source.id)); };
    actions.rename = [&library](const ItemCopy& copy, const QString& name) { library.rename(copy.item, copy.location, name); };
    actions.workspaceSheet = [&library](const Workspace& workspace, QWidget* parent) -> QDialog* {
        return new WorkspaceSheet(library, workspace, parent);
    };
    actions.importSheet = [&library](const Device& device, QWidget* parent) -> QDialog* {
        return new ImportSheet(library, device, parent);
    };
    return actions;
}

} // namespace

RootView::RootView(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , toolbar_(new QToolBar(this))
    , searchToolbar_(new SearchToolbar(library, toolbar_))
    , searchField_(&searchToolbar_->bar().field())
    , detail_(new QWidget(this))
    , contentStack_(new QStackedWidget(detail_))
    , grid_(new GridView(library, contentStack_))
    , cardGrid_(new CardGrid(library, contentStack_))
    , dialogs_(new DialogPresenter(library, *this, dialogActions(library)))
    , viewer_(new FullscreenView(library, viewerFiles(library), this))
{
    setMinimumSize(minimumWidth, minimumHeight);

    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    searchField_->setObjectName(QStringLiteral("search"));
    searchToolbar_->setBarWidth(searchFieldWidth(unmeasuredContentWidth));
    toolbar_->addWidget(searchToolbar_);
    connect(&searchToolbar_->bar(), &SearchBar::focusGridRequested, this, [this] { setFocusField(Field::grid); });

    grid_->setObjectName(QStringLiteral("grid"));
    connect(grid_, &GridView::itemMenuRequested, this, [this](const Item& item, const QString& anchor, const QPoint& at) {
        inspector::popupItemMenu(library_, item, anchor, at, this);
    });
    connect(grid_, &GridView::groupMenuRequested, this, [this](const QString& anchor, const QPoint& at) {
        inspector::popupGroupMenu(library_, anchor, at, this);
    });
    cardGrid_->setObjectName(QStringLiteral("cardGrid"));
    contentStack_->addWidget(grid_);
    contentStack_->addWidget(cardGrid_);

    auto* detailLayout = new QVBoxLayout(detail_);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->setSpacing(0);
    auto* strip = new ActivityStrip(library_, detail_);
    connect(strip, &ActivityStrip::ejectRequested, this,
            [this](const Device& device) { Tasks::start(library_.ejectDevice(device)); });
    detailLayout->addWidget(strip);
    detailLayout->addWidget(contentStack_, 1);
    detail_->installEventFilter(this);
    searchToolbar_->setColumn(detail_);

    auto* sidebar = new SidebarView(library_, this);
    sidebar->setMinimumWidth(sidebarMinimumWidth);
    auto* inspector = new DetailsPane(library_, this);
    inspector->setMinimumWidth(inspectorMinimumWidth);
    inspector->setMaximumWidth(inspectorMaximumWidth);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->addWidget(sidebar);
    split->addWidget(detail_);
    split->addWidget(inspector);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarWidth, minimumWidth - sidebarWidth - inspectorWidth, inspectorWidth});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar_);
    layout->addWidget(split, 1);
    viewer_->hide();

    // Tab goes from the toolbar to the sidebar, the grid (or the card's) and the inspector.
    orderTabStops({toolbar_, sidebar, contentStack_, inspector});

    // The shortcut of the invisible "Find" button of the window, from wherever its keyboard is.
    auto* find = new QShortcut(QKeySequence::Find, this, [this] { setFocusField(Field::search); });
    find->setContext(Qt::WindowShortcut);

    using P = Library::Prop;
    auto* refresh = new CoalescedRefresh(
        library_, {P::devices, P::selectedDevice, P::fullscreen, P::selection}, [this](const QSet<Library::Prop>&) {
            showContent();
            followFullscreen();
        },
        this);
    refresh->requestAll();
}

void RootView::orderTabStops(const QList<QWidget*>& regions)
{
    QList<QWidget*> chain;
    for (QWidget* region : regions) {
        // The stops of the region and what lies inside it, in their order in the focus chain.
        QWidget* widget = region;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && (widget == region || region->isAncestorOf(widget)))
                chain.append(widget);
            widget = widget->nextInFocusChain();
        } while (widget && widget != region);
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

int RootView::searchFieldWidth(int contentWidth)
{
    return std::max(contentWidth - 24, 260);
}

std::optional<Device> RootView::selectedDevice(const QList<Device>& devices, const std::optional<QString>& selected)
{
    if (!selected)
        return std::nullopt;
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const Device& device) {
        return device.id() == *selected;
    });
    if (found == devices.end())
        return std::nullopt;
    return *found;
}

void RootView::setFocusField(std::optional<Field> field)
{
    if (!field) {
        if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
            focused->clearFocus();
        return;
    }
    if (*field == Field::search) {
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    } else {
        grid_->setFocus(Qt::OtherFocusReason);
    }
}

std::optional<RootView::Field> RootView::focusField() const
{
    const QWidget* focused = QApplication::focusWidget();
    if (!focused)
        return std::nullopt;
    if (focused == searchField_)
        return Field::search;
    if (focused == grid_ || grid_->isAncestorOf(focused))
        return Field::grid;
    return std::nullopt;
}

QWidget* RootView::content() const
{
    return contentStack_->currentWidget();
}

bool RootView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == detail_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        // Over the grid's column, wherever the splitter puts it.
        searchToolbar_->setBarWidth(searchFieldWidth(detail_->width()));
    }
    return QWidget::eventFilter(watched, event);
}

void RootView::showContent()
{
    const std::optional<Device> device = selectedDevice(library_.devices(), library_.selectedDevice());
    if (device) {
        cardGrid_->setDevice(device);
        contentStack_->setCurrentWidget(cardGrid_);
    } else {
        cardGrid_->setDevice(std::nullopt);
        contentStack_->setCurrentWidget(grid_);
    }
}

void RootView::followFullscreen()
{
    const bool fullscreen = library_.fullscreen();
    toolbar_->setVisible(!fullscreen);
    const std::optional<Item>& selection = library_.selection();
    if (fullscreen && selection) {
        if (viewer_->item() != selection)
            viewer_->setItem(*selection);
        viewer_->setGeometry(rect());
        viewer_->raise();
        viewer_->show();
    } else {
        viewer_->hide();
    }
    if (fullscreen_ && !fullscreen)
        setFocusField(Field::grid);
    fullscreen_ = fullscreen;
}

void RootView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    viewer_->setGeometry(rect());
}
