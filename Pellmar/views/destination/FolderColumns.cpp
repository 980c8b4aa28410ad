#include "Pellmar/views/destination/FolderColumns.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTimer>

#include <functional>

namespace {

constexpr int rowHeight = 24;
constexpr int minColumnWidth = 160;
constexpr int visibleColumns = 3;

// A row: the folder's name on one line, cut at its end, over a rounded fill while selected, in
// the highlight colour while the browser has the keyboard focus and in a quieter one otherwise.
class ColumnRowDelegate final : public QStyledItemDelegate {
public:
    ColumnRowDelegate(const QWidget* browser, QObject* parent) : QStyledItemDelegate(parent), browser_(browser) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QWidget* focus = QApplication::focusWidget();
        const bool emphasized = selected && browser_->isActiveWindow() && focus &&
                                (focus == browser_ || browser_->isAncestorOf(focus) || focus->isAncestorOf(browser_));
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (selected) {
            QColor fill = option.palette.color(QPalette::Highlight);
            if (!emphasized)
                fill = option.palette.color(QPalette::Midlight);
            QPainterPath shape;
            shape.addRoundedRect(QRectF(option.rect.adjusted(4, 1, -4, -1)), 5, 5);
            painter->fillPath(shape, fill);
        }
        QFont font = option.font;
        font.setPixelSize(13);
        painter->setFont(font);
        painter->setPen(option.palette.color(emphasized ? QPalette::HighlightedText : QPalette::Text));
        const QRect text(option.rect.left() + 8, option.rect.top(), std::max(0, option.rect.width() - 16), option.rect.height());
        const QString name = QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, text.width());
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
    }

private:
    const QWidget* browser_;
};

// One column; a press on empty space reports itself, since a list view ignores it.
class ColumnList final : public QListView {
public:
    std::function<void()> emptyPressed;
    using QListView::QListView;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!indexAt(event->position().toPoint()).isValid() && emptyPressed) {
            emptyPressed();
            return;
        }
        QListView::mousePressEvent(event);
    }
};

} // namespace

FolderColumns::FolderColumns(std::unique_ptr<FolderLister> lister, QWidget* parent)
    : QWidget(parent)
    , lister_(std::move(lister))
    , coordinator_(std::make_unique<FolderColumnsCoordinator>(*lister_))
    , scroll_(new QScrollArea(this))
    , strip_(new QWidget)
    , stripLayout_(new QHBoxLayout(strip_))
{
    stripLayout_->setContentsMargins(0, 0, 0, 0);
    stripLayout_->setSpacing(1);
    stripLayout_->addStretch(1);
    scroll_->setWidget(strip_);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    connect(coordinator_.get(), &FolderColumnsCoordinator::changed, this, &FolderColumns::rebuild);
}

FolderColumns::~FolderColumns() = default;

int FolderColumns::columnWidth() const
{
    return std::max(minColumnWidth, scroll_->viewport()->width() / visibleColumns - 1);
}

void FolderColumns::rebuild(int scrollTo)
{
    const QList<FolderColumnsCoordinator::Column> columns = coordinator_->columns();
    while (views_.size() > columns.size()) {
        delete views_.takeLast();
        models_.removeLast();
    }
    while (views_.size() < columns.size()) {
        const int index = int(views_.size());
        auto* view = new ColumnList(strip_);
        auto* model = new QStringListModel(view);
        view->setModel(model);
        view->setItemDelegate(new ColumnRowDelegate(this, view));
        view->setFrameShape(QFrame::NoFrame);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setUniformItemSizes(true);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setTextElideMode(Qt::ElideRight);
        view->emptyPressed = [this, index] { coordinator_->pick(index, -1); };
        connect(view, &QListView::clicked, this, [this, index](const QModelIndex& row) { coordinator_->pick(index, row.row()); });
        stripLayout_->insertWidget(index, view);
        views_.append(view);
        models_.append(model);
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        QStringList names;
        for (const QString& folder : columns[i].children.value_or(QStringList()))
            names.append(QFileInfo(folder).fileName());
        if (models_[i]->stringList() != names)
            models_[i]->setStringList(names);
        views_[i]->setFixedWidth(columnWidth());
        const QModelIndex selected = models_[i]->index(columns[i].selected, 0);
        if (selected.isValid())
            views_[i]->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
        else
            views_[i]->selectionModel()->clearSelection();
    }
    if (scrollTo >= 0 && scrollTo < views_.size()) {
        QListView* target = views_[scrollTo];
        QTimer::singleShot(0, scroll_, [scroll = scroll_, target = QPointer<QListView>(target)] {
            if (target)
                scroll->ensureWidgetVisible(target, 0, 0);
        });
    }
}

void FolderColumns::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (QListView* view : views_)
        view->setFixedWidth(columnWidth());
}
