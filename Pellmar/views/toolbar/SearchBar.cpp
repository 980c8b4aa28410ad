#include "Pellmar/views/toolbar/SearchBar.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/toolbar/SearchBarRules.h"

#include <QActionGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

constexpr int symbolSize = 15;
constexpr int textPixelSize = 15;

// A round button with a symbol, which opens its menu itself (with popup()).
QToolButton* menuButton(const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setFixedSize(SearchBar::menuButtonSide, SearchBar::menuButtonSide);
    button->setIconSize(QSize(symbolSize, symbolSize));
    button->setStyleSheet(QStringLiteral("QToolButton { background: palette(base); border: 1px solid palette(mid);"
                                         " border-radius: %1px; }"
                                         " QToolButton:pressed { background: palette(midlight); }"
                                         " QToolButton:focus { border: 2px solid palette(highlight); }")
                              .arg(SearchBar::menuButtonSide / 2));
    return button;
}

// Builds a menu of exclusive choices, one group between separators, drawn as radio items;
// choosing one calls `chosen` with its index.
QMenu* entryMenu(const QList<SearchMenuEntry>& entries, QWidget* parent, const std::function<void(int)>& chosen)
{
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QActionGroup(menu);
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].separatorBefore) {
            menu->addSeparator();
            group = new QActionGroup(menu);
        }
        QAction* action = menu->addAction(entries[i].text);
        group->addAction(action);
        action->setCheckable(true);
        action->setChecked(entries[i].checked);
        QObject::connect(action, &QAction::triggered, menu, [chosen, i] { chosen(i); });
    }
    return menu;
}

} // namespace

SearchBar::SearchBar(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , capsule_(new QWidget(this))
    , symbol_(new QLabel(capsule_))
    , field_(new QLineEdit(capsule_))
    , chip_(new QToolButton(capsule_))
    , clear_(new QToolButton(capsule_))
    , kindButton_(menuButton(QStringLiteral("kindMenu"), this))
    , sortButton_(menuButton(QStringLiteral("sortMenu"), this))
{
    setObjectName(QStringLiteral("searchBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    capsule_->setObjectName(QStringLiteral("searchCapsule"));
    capsule_->setFixedHeight(capsuleHeight);
    capsule_->setAttribute(Qt::WA_StyledBackground);
    capsule_->setStyleSheet(QStringLiteral("#searchCapsule { background: palette(base); border: 1px solid palette(mid);"
                                           " border-radius: %1px; }")
                                .arg(capsuleHeight / 2));
    QFont font = field_->font();
    font.setPixelSize(textPixelSize);
    field_->setFont(font);
    field_->setFrame(false);
    field_->setAccessibleName(QStringLiteral("Search"));
    field_->setPlaceholderText(QStringLiteral("Search filenames, folders, drives, cameras, dates"));
    field_->installEventFilter(this);

    chip_->setObjectName(QStringLiteral("onlyHere"));
    chip_->setText(QStringLiteral("Only here"));
    chip_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    chip_->setLayoutDirection(Qt::RightToLeft);   // the symbol after the text
    chip_->setIconSize(QSize(9, 9));
    chip_->setToolTip(QStringLiteral("Show everything here, not only items with no other copy"));
    chip_->setStyleSheet(QStringLiteral("QToolButton { font-size: 12px; padding: 3px 8px; border: none;"
                                        " border-radius: 9px; background: palette(midlight); }"));
    clear_->setObjectName(QStringLiteral("clearSearch"));
    clear_->setAutoRaise(true);
    clear_->setIconSize(QSize(symbolSize, symbolSize));
    clear_->setAccessibleName(QStringLiteral("Clear"));

    auto* inner = new QHBoxLayout(capsule_);
    inner->setContentsMargins(14, 0, 14, 0);
    inner->setSpacing(6);
    inner->addWidget(symbol_);
    inner->addWidget(field_, 1);
    inner->addWidget(chip_);
    inner->addWidget(clear_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(capsule_, 1);
    row->addWidget(kindButton_);
    row->addWidget(sortButton_);

    debounce_.setSingleShot(true);
    debounce_.setInterval(debounceMs);
    connect(&debounce_, &QTimer::timeout, this, &SearchBar::runSearch);

    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { library_.setQuery(text); });
    connect(field_, &QLineEdit::returnPressed, field_, [this] { field_->deselect(); });
    connect(chip_, &QToolButton::clicked, this, [this] { library_.setOnlyHere(false); });
    connect(clear_, &QToolButton::clicked, this, [this] { library_.setQuery(QString()); });
    connect(kindButton_, &QToolButton::clicked, this, &SearchBar::popupKindMenu);
    connect(sortButton_, &QToolButton::clicked, this, &SearchBar::popupSortMenu);

    // Every change of the query restarts the wait, whoever made it.
    connect(&library_, &Library::changed, this, [this](Library::Prop property) {
        if (property == Library::Prop::query && isVisible())
            debounce_.start();
    });
    using P = Library::Prop;
    new CoalescedRefresh(library_, {P::query, P::kindFilter, P::sort, P::ascending, P::onlyHere, P::sourceFilter},
                         [this](const QSet<Library::Prop>&) { refresh(); }, this);
    refresh();
}

void SearchBar::refresh()
{
    const SearchBarState state = SearchBarState::of(library_);
    const SearchBarLook look = searchBarLook(state);
    if (field_->text() != state.query)
        field_->setText(state.query);
    chip_->setVisible(look.onlyHereChipShown);
    clear_->setVisible(look.clearShown);

    const QColor secondary = secondaryTextColor(palette());
    const QColor primary = primaryTextColor(palette());
    symbol_->setPixmap(Icons::pixmap(QStringLiteral("magnifyingglass"), symbolSize, secondary, devicePixelRatioF()));
    chip_->setIcon(Icons::icon(QStringLiteral("xmark"), primary));
    clear_->setIcon(Icons::icon(QStringLiteral("xmark.circle.fill"), secondary));
    kindButton_->setIcon(Icons::icon(QStringLiteral("line.3.horizontal.decrease"),
                                     look.kindSymbolPrimary ? primary : secondary));
    kindButton_->setToolTip(look.kindHelp);
    sortButton_->setIcon(Icons::icon(QStringLiteral("arrow.up.arrow.down"), look.sortSymbolPrimary ? primary : secondary));
    sortButton_->setToolTip(look.sortHelp);
}

void SearchBar::runSearch()
{
    qCInfo(logSearch).noquote() << "search called by search field";
    Tasks::start(library_.search());
}

void SearchBar::popupKindMenu()
{
    QMenu* menu = entryMenu(kindMenu(SearchBarState::of(library_)), this, [this](int index) {
        const auto kind = kindAfterChoosing(SearchBarState::of(library_), index);
        if (!kind)
            return;
        library_.setKindFilter(*kind);
        Tasks::start(library_.refreshSearch());
    });
    menu->popup(kindButton_->mapToGlobal(QPoint(0, kindButton_->height())));
}

void SearchBar::popupSortMenu()
{
    QMenu* menu = entryMenu(sortMenu(SearchBarState::of(library_)), this, [this](int index) {
        if (const auto order = sortAfterChoosing(SearchBarState::of(library_), index))
            library_.setSort(order->field, order->ascending);
    });
    menu->popup(sortButton_->mapToGlobal(QPoint(0, sortButton_->height())));
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        library_.setQuery(QString());
        Q_EMIT focusGridRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    debounce_.start();
}

void SearchBar::hideEvent(QHideEvent* event)
{
    debounce_.stop();
    QWidget::hideEvent(event);
}

void SearchBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}
