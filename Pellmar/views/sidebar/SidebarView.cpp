#include "Pellmar/views/sidebar/SidebarView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/sidebar/DeviceRow.h"
#include "Pellmar/views/sidebar/SidebarBlocks.h"
#include "Pellmar/views/sidebar/SidebarRow.h"
#include "Pellmar/views/sidebar/WorkspaceSwitcher.h"

#include <QEvent>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int topPadding = 10;
constexpr int bottomPadding = 12;
constexpr int entrySpacing = 2;
// A switch of workspace cross-fades the list over this time, easing in and out.
constexpr int switchMilliseconds = 200;

} // namespace

SidebarView::SidebarView(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , scroll_(new QScrollArea(this))
    , content_(new QWidget)
    , switcher_(new WorkspaceSwitcher(library, this))
{
    setObjectName(QStringLiteral("sidebar"));
    // Tab reaches the list, and the arrow keys move through its rows; a click on a row leaves
    // the keyboard where it was.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("Sidebar"));
    scroll_->setObjectName(QStringLiteral("sidebarScroll"));
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(false);
    scroll_->setWidget(content_);
    scroll_->viewport()->installEventFilter(this);
    content_->setObjectName(QStringLiteral("sidebarContent"));

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(scroll_, 1);
    column->addWidget(divider);
    column->addWidget(switcher_);

    using P = Library::Prop;
    auto* refresh = new CoalescedRefresh(
        library_,
        {P::sources, P::online, P::allCount, P::favoriteCount, P::notBackedUpCount, P::sourceFilter, P::pathFilter,
         P::smartFilter, P::favoritesOnly, P::notBackedUp, P::selectedDevice, P::pinned, P::workspaces, P::workspaceID,
         P::devices, P::verification, P::failures, P::lastError, P::trees, P::expanded, P::sourceProgress,
         P::hiddenSources, P::hiddenSmart},
        [this](const QSet<Library::Prop>& changed) {
            if (changed.contains(Library::Prop::workspaceID))
                fadeOutContent();
            rebuild();
        },
        this);
    refresh->requestAll();
}

SidebarInputs SidebarView::inputs(const Library& library, bool failuresOpen)
{
    return {
        .workspaceTrees = library.workspaceTrees(),
        .nodeForKey = [&library](const QString& key) { return library.nodeForKey(key); },
        .sources = library.sources(),
        .online = library.online(),
        .hiddenSources = library.hiddenSources(),
        .hiddenSmart = library.hiddenSmart(),
        .pinned = library.pinned(),
        .expanded = library.expanded(),
        .sourceProgress = library.sourceProgress(),
        .allCount = library.allCount(),
        .favoriteCount = library.favoriteCount(),
        .notBackedUpCount = library.notBackedUpCount(),
        .sourceFilter = library.sourceFilter(),
        .favoritesOnly = library.favoritesOnly(),
        .notBackedUp = library.notBackedUp(),
        .selectedDevice = library.selectedDevice(),
        .selectedNodeID = library.selectedNodeID(),
        .workspaceID = library.workspaceID(),
        .devices = library.devices(),
        .verification = library.verification(),
        .failures = library.failures(),
        .lastError = library.lastError(),
        .failuresOpen = failuresOpen,
    };
}

void SidebarView::rebuild()
{
    entries_ = flattenSidebar(inputs(library_, failuresOpen_));
    positions_.clear();
    positions_.reserve(entries_.size());
    QHash<QString, QWidget*> kept;
    kept.reserve(entries_.size());
    QList<QWidget*> created;
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const SidebarEntry& entry = entries_[i];
        positions_.insert(entry.key, i);
        QWidget* widget = widgets_.take(entry.key);
        if (!widget) {
            widget = createWidget(entry);
            created.append(widget);
        }
        updateWidget(widget, entry);
        kept.insert(entry.key, widget);
    }
    // What left the list goes later, so that a widget whose click led here finishes its event.
    for (QWidget* gone : std::as_const(widgets_)) {
        gone->hide();
        gone->deleteLater();
    }
    widgets_ = std::move(kept);
    relayout();
    showFocusRing();
    // Shown once in place, so that only the new rows in sight are painted.
    for (QWidget* widget : std::as_const(created))
        widget->show();
}

QWidget* SidebarView::createWidget(const SidebarEntry& entry)
{
    const QString key = entry.key;
    QWidget* widget = nullptr;
    switch (entry.kind) {
    case SidebarEntryKind::row: {
        auto* row = new SidebarRow(content_);
        connect(row, &SidebarRow::clicked, this, [this, key] { rowClicked(key); });
        connect(row, &SidebarRow::chevronClicked, this, [this, key] { chevronClicked(key); });
        connect(row, &SidebarRow::menuRequested, this,
                [this, key](const QPoint& position) { popupMenu(key, position); });
        widget = row;
        break;
    }
    case SidebarEntryKind::header: {
        auto* header = new SidebarSectionHeader(content_);
        connect(header, &SidebarSectionHeader::addClicked, this, [this] { library_.addSource(); });
        widget = header;
        break;
    }
    case SidebarEntryKind::device: {
        auto* row = new DeviceRow(library_, *entry.device, content_);
        connect(row, &DeviceRow::indexRequested, this,
                [this](const Device& device) { Tasks::start(library_.indexFolder(device.url, std::nullopt)); });
        connect(row, &DeviceRow::ejectRequested, this,
                [this](const Device& device) { Tasks::start(library_.ejectDevice(device)); });
        widget = row;
        break;
    }
    default: {
        auto* block = new SidebarBlock(entry.kind, content_);
        if (entry.kind == SidebarEntryKind::failures) {
            connect(block, &SidebarBlock::clicked, this, [this] {
                failuresOpen_ = !failuresOpen_;
                rebuild();
            });
        }
        widget = block;
        break;
    }
    }
    widget->setObjectName(key);
    return widget;
}

void SidebarView::updateWidget(QWidget* widget, const SidebarEntry& entry)
{
    switch (entry.kind) {
    case SidebarEntryKind::row: static_cast<SidebarRow*>(widget)->setLook(entry.look); break;
    case SidebarEntryKind::header: static_cast<SidebarSectionHeader*>(widget)->setLook(entry.look); break;
    case SidebarEntryKind::device: static_cast<DeviceRow*>(widget)->setDevice(*entry.device); break;
    default: static_cast<SidebarBlock*>(widget)->setLook(entry.look); break;
    }
}

void SidebarView::relayout()
{
    const int width = scroll_->viewport()->width();
    int y = topPadding;
    for (const SidebarEntry& entry : std::as_const(entries_)) {
        QWidget* widget = widgets_.value(entry.key);
        int height = 0;
        switch (entry.kind) {
        case SidebarEntryKind::row: height = sidebarRowHeight(!entry.look.caption.isEmpty()); break;
        case SidebarEntryKind::device: height = DeviceRow::rowHeight; break;
        case SidebarEntryKind::header: height = widget->sizeHint().height(); break;
        default: height = widget->heightForWidth(width); break;
        }
        const QRect place(0, y, width, height);
        if (widget->geometry() != place)
            widget->setGeometry(place);
        y += height + entrySpacing;
    }
    content_->resize(width, y - entrySpacing + bottomPadding);
}

void SidebarView::fadeOutContent()
{
    QWidget* viewport = scroll_->viewport();
    if (!viewport->isVisible())
        return;
    delete fading_;
    auto* cover = new QLabel(viewport);
    cover->setObjectName(QStringLiteral("sidebarFade"));
    cover->setAttribute(Qt::WA_TransparentForMouseEvents);
    cover->setPixmap(viewport->grab());
    cover->setGeometry(viewport->rect());
    auto* opacity = new QGraphicsOpacityEffect(cover);
    cover->setGraphicsEffect(opacity);
    cover->show();
    cover->raise();
    auto* fade = new QPropertyAnimation(opacity, "opacity", cover);
    fade->setDuration(switchMilliseconds);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, cover, &QObject::deleteLater);
    fade->start();
    fading_ = cover;
}

void SidebarView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    showFocusRing();
}

void SidebarView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    showFocusRing();
}

void SidebarView::keyPressEvent(QKeyEvent* event)
{
    const std::optional<qsizetype> current = selectedRow();
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int direction = event->key() == Qt::Key_Up ? -1 : 1;
        qsizetype next = current ? *current + direction : (direction > 0 ? 0 : entries_.size() - 1);
        while (next >= 0 && next < entries_.size() && entries_[next].kind != SidebarEntryKind::row)
            next += direction;
        if (next >= 0 && next < entries_.size())
            selectRow(entries_[next].key);
        break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Right opens the selected row, Left closes it.
        if (current) {
            const SidebarEntry& row = entries_[*current];
            if (row.node && row.look.chevron && *row.look.chevron != (event->key() == Qt::Key_Right))
                library_.toggleExpanded(*row.node);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

std::optional<qsizetype> SidebarView::selectedRow() const
{
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_[i].kind == SidebarEntryKind::row && entries_[i].look.selected)
            return i;
    }
    return std::nullopt;
}

void SidebarView::selectRow(const QString& key)
{
    const SidebarEntry* row = entry(key);
    if (!row)
        return;
    switch (row->target) {
    case RowTarget::allItems: library_.setFilter(std::nullopt, QString(), std::nullopt); break;
    case RowTarget::favorites: library_.showFavorites(); break;
    case RowTarget::notBackedUp: library_.showNotBackedUp(); break;
    case RowTarget::pinned:
    case RowTarget::tree: library_.setFilter(row->node->sourceID, row->node->path, row->node->smart); break;
    }
    if (QWidget* widget = widgets_.value(key))
        scroll_->ensureWidgetVisible(widget, 0, 0);
}

void SidebarView::showFocusRing()
{
    const std::optional<qsizetype> selected = hasFocus() ? selectedRow() : std::nullopt;
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_[i].kind == SidebarEntryKind::row)
            static_cast<SidebarRow*>(widgets_.value(entries_[i].key))->setFocusRing(i == selected);
    }
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize)
        relayout();
    return QWidget::eventFilter(watched, event);
}

const SidebarEntry* SidebarView::entry(const QString& key) const
{
    const auto found = positions_.constFind(key);
    return found == positions_.cend() ? nullptr : &entries_[*found];
}

void SidebarView::rowClicked(const QString& key)
{
    const SidebarEntry* clicked = entry(key);
    if (!clicked)
        return;
    const std::optional<FolderNode> node = clicked->node;
    const bool toggles = clicked->target == RowTarget::tree && tapToggles(clicked->look);
    selectRow(key);
    if (toggles)
        library_.toggleExpanded(*node);
}

void SidebarView::chevronClicked(const QString& key)
{
    if (const SidebarEntry* clicked = entry(key); clicked && clicked->node && clicked->look.chevron)
        library_.toggleExpanded(*clicked->node);
}

QMenu* SidebarView::popupMenu(const QString& key, const QPoint& globalPosition)
{
    const SidebarEntry* clicked = entry(key);
    if (!clicked || !clicked->node)
        return nullptr;
    const FolderNode node = *clicked->node;
    const std::optional<Source> source = library_.sourceByID(node.sourceID);
    const FolderMenuInputs menuInputs{
        .pinned = library_.pinned().contains(node.key()),
        .online = library_.online().contains(node.sourceID),
        .source = source,
        .canPaste = library_.canPaste(node.sourceID, node.path),
    };
    const QList<FolderMenuEntry> entries = clicked->target == RowTarget::tree
                                               ? treeMenu(node, clicked->look, menuInputs)
                                               : folderMenu(menuInputs);

    // The menu belongs to the sidebar and its actions hold their node, so a rebuild while it is
    // open (or the row leaving) does not disturb it.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const FolderMenuEntry& item : entries) {
        if (item.separatorBefore)
            menu->addSeparator();
        QAction* action = menu->addAction(item.text);
        connect(action, &QAction::triggered, this, [this, node, source, command = item.command] {
            switch (command) {
            case FolderCommand::pin: library_.pin(node); break;
            case FolderCommand::reveal: library_.revealFolder(node.sourceID, node.path); break;
            case FolderCommand::paste: library_.paste(node.sourceID, node.path); break;
            case FolderCommand::toggleExpanded: library_.toggleExpanded(node); break;
            case FolderCommand::rescan: Tasks::start(library_.scan(*source)); break;
            case FolderCommand::verify: Tasks::start(library_.rescan(*source)); break;
            case FolderCommand::stopIndexing: library_.setStoppingSource(source); break;
            }
        });
    }
    menu->popup(globalPosition);
    return menu;
}
