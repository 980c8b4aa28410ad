#include "Pellmar/views/sidebar/WorkspaceSwitcher.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/kit/CoalescedRefresh.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/PlainText.h"
#include "Pellmar/views/kit/MenuText.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/kit/WorkspaceColor.h"
#include "Pellmar/views/sidebar/SwitcherRules.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int symbolSize = 14;

} // namespace

// A round button with a workspace's symbol: white on its colour while current, else in its colour.
class WorkspaceButton : public QAbstractButton {
public:
    explicit WorkspaceButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFixedSize(WorkspaceSwitcher::buttonSide, WorkspaceSwitcher::buttonSide);
        setCursor(Qt::PointingHandCursor);
        setContextMenuPolicy(Qt::CustomContextMenu);
        setFocusPolicy(Qt::TabFocus);
    }

    void setLook(const WorkspaceButtonLook& look)
    {
        look_ = look;
        setObjectName(look.id);
        setToolTip(plainToolTip(look.name));
        setAccessibleName(look.name);
        update();
    }
    const WorkspaceButtonLook& look() const { return look_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = workspaceColor(look_.tint, palette());
        const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (look_.current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(circle);
        } else if (underMouse()) {
            QColor hover = color;
            hover.setAlpha(40);
            painter.setPen(Qt::NoPen);
            painter.setBrush(hover);
            painter.drawEllipse(circle);
        }
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
        const QPixmap symbol = Icons::pixmap(look_.symbol, symbolSize, look_.current ? QColor(Qt::white) : color,
                                             devicePixelRatioF());
        const QPoint corner((width() - symbolSize) / 2, (height() - symbolSize) / 2);
        painter.drawPixmap(corner, symbol);
    }

    // Only the circle answers clicks, and only it opens the menu.
    bool hitButton(const QPoint& position) const override
    {
        const QPointF offset = QPointF(position) - QRectF(rect()).center();
        return offset.x() * offset.x() + offset.y() * offset.y() <= (width() / 2.0) * (width() / 2.0);
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ContextMenu && !hitButton(static_cast<QContextMenuEvent*>(event)->pos())) {
            event->ignore();
            return false;
        }
        return QAbstractButton::event(event);
    }

private:
    WorkspaceButtonLook look_;
};

WorkspaceSwitcher::WorkspaceSwitcher(Library& library, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , row_(new QHBoxLayout(this))
    , more_(new QToolButton(this))
    , new_(new QToolButton(this))
{
    setObjectName(QStringLiteral("workspaceSwitcher"));
    const SwitcherMetrics metrics;
    row_->setContentsMargins(metrics.margin, metrics.margin, metrics.margin, metrics.margin);
    row_->setSpacing(metrics.spacing);
    // The row never asks for the width of all its buttons: those that do not fit go to the menu.
    row_->setSizeConstraint(QLayout::SetNoConstraint);
    more_->setObjectName(QStringLiteral("moreWorkspaces"));
    more_->setFixedSize(buttonSide, buttonSide);
    more_->setAutoRaise(true);
    more_->setIconSize(QSize(symbolSize, symbolSize));
    more_->setToolTip(QStringLiteral("More Workspaces"));
    more_->setAccessibleName(QStringLiteral("More Workspaces"));
    more_->hide();
    row_->addWidget(more_);
    connect(more_, &QToolButton::clicked, this, [this] { popupOverflowMenu(more_->mapToGlobal(QPoint(0, 0))); });
    new_->setObjectName(QStringLiteral("newWorkspace"));
    new_->setFixedSize(buttonSide, buttonSide);
    new_->setAutoRaise(true);
    new_->setIconSize(QSize(symbolSize, symbolSize));
    new_->setToolTip(QStringLiteral("New Workspace"));
    new_->setAccessibleName(QStringLiteral("New Workspace"));
    row_->addWidget(new_);
    row_->addStretch(1);
    connect(new_, &QToolButton::clicked, this, [this] { library_.setEditingWorkspace(library_.newWorkspace()); });

    using P = Library::Prop;
    new CoalescedRefresh(library_, {P::workspaces, P::workspaceID}, [this](const QSet<Library::Prop>&) { refresh(); },
                         this);
    refresh();
}

QAbstractButton* WorkspaceSwitcher::button(const QString& workspaceID) const
{
    return buttons_.value(workspaceID);
}

void WorkspaceSwitcher::refresh()
{
    new_->setIcon(Icons::icon(QStringLiteral("plus"), secondaryTextColor(palette())));
    more_->setIcon(Icons::icon(QStringLiteral("chevron.right"), secondaryTextColor(palette())));
    const QList<WorkspaceButtonLook> looks = workspaceButtons(library_.workspaces(), library_.workspaceID());

    // Buttons are kept by workspace id, so a button under the pointer survives a refresh.
    QHash<QString, WorkspaceButton*> kept;
    for (int i = 0; i < looks.size(); ++i) {
        WorkspaceButton* button = buttons_.take(looks[i].id);
        if (!button) {
            button = new WorkspaceButton(this);
            const QString id = looks[i].id;
            connect(button, &QAbstractButton::clicked, this, [this, id] {
                if (clickSwitches(id, library_.workspaceID()))
                    library_.setWorkspace(id);
            });
            connect(button, &QWidget::customContextMenuRequested, this, [this, button, id](const QPoint& position) {
                popupMenu(id, button->mapToGlobal(position));
            });
        }
        button->setLook(looks[i]);
        row_->insertWidget(i, button);
        kept.insert(looks[i].id, button);
    }
    qDeleteAll(buttons_);
    buttons_ = kept;
    order_.clear();
    for (const WorkspaceButtonLook& look : looks)
        order_.append(look.id);
    fitButtons();
}

void WorkspaceSwitcher::fitButtons()
{
    const int shown = shownWorkspaceButtons(int(order_.size()), width(), SwitcherMetrics{});
    for (int i = 0; i < order_.size(); ++i)
        buttons_.value(order_[i])->setVisible(i < shown);
    more_->setVisible(shown < order_.size());
}

QStringList WorkspaceSwitcher::overflow() const
{
    QStringList hidden;
    for (const QString& id : order_) {
        if (buttons_.value(id)->isHidden())
            hidden.append(id);
    }
    return hidden;
}

QMenu* WorkspaceSwitcher::popupOverflowMenu(const QPoint& globalPosition)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& id : overflow()) {
        const WorkspaceButtonLook& look = buttons_.value(id)->look();
        QAction* action = menu->addAction(Icons::icon(look.symbol, workspaceColor(look.tint, palette())), menuText(look.name));
        action->setCheckable(true);
        action->setChecked(look.current);
        connect(action, &QAction::triggered, this, [this, id] {
            if (clickSwitches(id, library_.workspaceID()))
                library_.setWorkspace(id);
        });
    }
    menu->popup(globalPosition);
    return menu;
}

QSize WorkspaceSwitcher::minimumSizeHint() const
{
    // The plus and the overflow buttons.
    const SwitcherMetrics metrics;
    return {2 * metrics.margin + 2 * metrics.side + metrics.spacing, 2 * metrics.margin + metrics.side};
}

void WorkspaceSwitcher::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitButtons();
}

QMenu* WorkspaceSwitcher::popupMenu(const QString& workspaceID, const QPoint& globalPosition)
{
    const QList<Workspace>& workspaces = library_.workspaces();
    const auto found = std::find_if(workspaces.begin(), workspaces.end(),
                                    [&](const Workspace& workspace) { return workspace.id == workspaceID; });
    if (found == workspaces.end())
        return nullptr;
    const Workspace workspace = *found;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const WorkspaceMenuEntry& entry : workspaceMenu(workspace)) {
        if (entry.separatorBefore)
            menu->addSeparator();
        QAction* action = menu->addAction(entry.text);
        connect(action, &QAction::triggered, this, [this, workspace, command = entry.command] {
            switch (command) {
            case WorkspaceCommand::edit: library_.setEditingWorkspace(workspace); break;
            case WorkspaceCommand::duplicate: library_.duplicateWorkspace(workspace); break;
            case WorkspaceCommand::remove: library_.setDeletingWorkspace(workspace); break;
            }
        });
    }
    menu->popup(globalPosition);
    return menu;
}

void WorkspaceSwitcher::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}
