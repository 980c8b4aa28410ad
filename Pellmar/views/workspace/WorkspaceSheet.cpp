#include "Pellmar/views/workspace/WorkspaceSheet.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"
#include "Pellmar/views/kit/WorkspaceColor.h"
#include "Pellmar/views/workspace/MemberRows.h"
#include "Pellmar/views/workspace/WorkspaceSheetRules.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int symbolCell = 30;
constexpr int symbolFrame = 28;
constexpr int symbolSize = 18;
constexpr int symbolColumns = 6;
constexpr int tintCircle = 18;
constexpr int tintRing = 3;   // how far the ring of the chosen tint reaches beyond its circle
// The member list shows about eight rows at first and grows with the sheet.
constexpr int membersMinHeight = 220;

// A palette cell: a symbol on a rounded square that is filled while the symbol is chosen.
class SymbolCell : public QAbstractButton {
public:
    SymbolCell(const QString& symbol, QWidget* parent) : QAbstractButton(parent), symbol_(symbol)
    {
        setCheckable(true);
        setAutoExclusive(false);
        setFixedSize(symbolCell, symbolFrame);
        setToolTip(symbol);
        setAccessibleName(symbol);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF frame((width() - symbolFrame) / 2.0, 0, symbolFrame, symbolFrame);
        if (isChecked()) {
            QColor fill = secondaryTextColor(palette());
            fill.setAlphaF(0.25);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(frame, 6, 6);
        }
        const QPixmap pixmap =
            Icons::pixmap(symbol_, symbolSize, primaryTextColor(palette()), devicePixelRatioF());
        painter.drawPixmap(QPointF(frame.center().x() - symbolSize / 2.0, frame.center().y() - symbolSize / 2.0),
                           pixmap);
    }

private:
    QString symbol_;
};

// A circle of a tint's colour, ringed while the tint is chosen.
class TintCell : public QAbstractButton {
public:
    TintCell(const QString& tint, QWidget* parent) : QAbstractButton(parent), tint_(tint)
    {
        setCheckable(true);
        setFixedSize(tintCircle + 2 * tintRing, tintCircle + 2 * tintRing);
        setToolTip(tintHelp(tint));
        setAccessibleName(tintHelp(tint));
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(workspaceColor(tint_, palette()));
        painter.drawEllipse(QRectF(tintRing, tintRing, tintCircle, tintCircle));
        if (isChecked()) {
            QColor ring = primaryTextColor(palette());
            ring.setAlphaF(0.8);
            painter.setPen(QPen(ring, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }

private:
    QString tint_;
};

} // namespace

WorkspaceSheet::WorkspaceSheet(Library& library, const Workspace& workspace, QWidget* parent)
    : QDialog(parent)
    , library_(library)
    , draft_(workspace)
    , title_(new QLabel(this))
    , name_(new QLineEdit(this))
    , save_(new QPushButton(QStringLiteral("Save"), this))
    , cancel_(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("workspaceSheet"));
    setWindowTitle(workspaceSheetTitle(draft_, library_.workspaces()));
    setFixedWidth(sheetWidth);

    title_->setObjectName(QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);
    title_->setText(workspaceSheetTitle(draft_, library_.workspaces()));
    QFont headline = title_->font();
    headline.setWeight(QFont::DemiBold);
    headline.setPointSizeF(headline.pointSizeF() * 1.15);
    title_->setFont(headline);

    name_->setObjectName(QStringLiteral("name"));
    name_->setPlaceholderText(QStringLiteral("Name"));
    name_->setText(draft_.name);
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        draft_.name = text;
        showDraft();
    });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    column->addWidget(title_);
    column->addWidget(name_);
    column->addWidget(buildSymbols());
    column->addWidget(buildTints());
    if (isEverything(draft_)) {
        auto* note = new QLabel(QStringLiteral("Everything always shows every source."), this);
        note->setObjectName(QStringLiteral("everythingNote"));
        QPalette notePalette = note->palette();
        notePalette.setColor(QPalette::WindowText, secondaryTextColor(palette()));
        note->setPalette(notePalette);
        column->addWidget(note);
    } else {
        column->addWidget(buildMembers(), 1);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    column->addLayout(buttons);
    save_->setDefault(true);
    save_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, &WorkspaceSheet::save);
    showDraft();
}

QWidget* WorkspaceSheet::buildSymbols()
{
    auto* grid = new QWidget(this);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(6);
    const QStringList& symbols = workspaceSymbols();
    for (int i = 0; i < symbols.size(); ++i) {
        auto* cell = new SymbolCell(symbols[i], grid);
        cell->setObjectName(QStringLiteral("symbol:") + symbols[i]);
        connect(cell, &QAbstractButton::clicked, this, [this, symbol = symbols[i]] {
            draft_.symbol = symbol;
            showDraft();
        });
        layout->addWidget(cell, i / symbolColumns, i % symbolColumns, Qt::AlignLeft);
        symbolButtons_.append(cell);
    }
    layout->setColumnStretch(symbolColumns, 1);
    return grid;
}

QWidget* WorkspaceSheet::buildTints()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8 - 2 * tintRing);
    for (const QString& tint : workspaceTints()) {
        auto* cell = new TintCell(tint, row);
        cell->setObjectName(QStringLiteral("tint:") + tint);
        connect(cell, &QAbstractButton::clicked, this, [this, tint] {
            draft_.tint = tint;
            showDraft();
        });
        layout->addWidget(cell);
        tintButtons_.append(cell);
    }
    layout->addStretch(1);
    return row;
}

QWidget* WorkspaceSheet::buildMembers()
{
    members_ = new MemberSet(draft_.members, [this](const QString& key) { return library_.nodeForKey(key); }, this);
    connect(members_, &MemberSet::changed, this, &WorkspaceSheet::showDraft);

    memberSection_ = new QWidget(this);
    memberSection_->setObjectName(QStringLiteral("members"));
    auto* column = new QVBoxLayout(memberSection_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* caption = new QLabel(QStringLiteral("Sources and folders"), memberSection_);
    QFont captionFont = caption->font();
    captionFont.setWeight(QFont::Medium);
    caption->setFont(captionFont);
    column->addWidget(caption);

    auto* scroll = new QScrollArea(memberSection_);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(membersMinHeight);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* list = new QWidget(scroll);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(6, 6, 6, 6);
    rows->setSpacing(4);
    for (const FolderNode& tree : library_.trees())
        rows->addWidget(new MemberRows(tree, 0, *members_, list));
    rows->addStretch(1);
    scroll->setWidget(list);
    column->addWidget(scroll, 1);
    return memberSection_;
}

Workspace WorkspaceSheet::draft() const
{
    Workspace workspace = draft_;
    if (members_)
        workspace.members = members_->members();
    return workspace;
}

QAbstractButton* WorkspaceSheet::symbolButton(const QString& symbol) const
{
    const qsizetype index = workspaceSymbols().indexOf(symbol);
    return index < 0 ? nullptr : symbolButtons_[index];
}

QAbstractButton* WorkspaceSheet::tintButton(const QString& tint) const
{
    const qsizetype index = workspaceTints().indexOf(tint);
    return index < 0 ? nullptr : tintButtons_[index];
}

// A symbol or tint outside the palettes marks no cell and stays as it is until one is picked.
void WorkspaceSheet::showDraft()
{
    const QStringList& symbols = workspaceSymbols();
    for (int i = 0; i < symbols.size(); ++i)
        symbolButtons_[i]->setChecked(symbols[i] == draft_.symbol);
    const QStringList& tints = workspaceTints();
    for (int i = 0; i < tints.size(); ++i)
        tintButtons_[i]->setChecked(tints[i] == draft_.tint);
    save_->setEnabled(canSaveWorkspace(draft()));
}

void WorkspaceSheet::save()
{
    const Workspace workspace = draft();
    if (!canSaveWorkspace(workspace))
        return;
    Tasks::start(library_.saveWorkspace(workspace));
    accept();
}
