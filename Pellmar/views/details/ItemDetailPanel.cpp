#include "Pellmar/views/details/ItemDetailPanel.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/views/details/ActionBar.h"
#include "Pellmar/views/details/CopyRowView.h"
#include "Pellmar/views/details/DetailRules.h"
#include "Pellmar/views/details/ItemPreview.h"
#include "Pellmar/views/kit/ElidedLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ItemDetailPanel::ItemDetailPanel(Library& library, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , preview_(new ItemPreview(library, &content()))
    , title_(panelTitle(&content()))
    , status_(new QWidget(&content()))
    , statusText_(panelLabel(TextStyle::callout, true, status_))
    , download_(new QPushButton(QStringLiteral("Download"), status_))
    , actions_(new ActionBar(library, &content()))
    , facts_(new QGridLayout)
    , copiesHeader_(panelLabel(TextStyle::headline, false, &content()))
    , copies_(new QVBoxLayout)
    , probable_(new QWidget(&content()))
    , probableRows_(new QVBoxLayout)
{
    setObjectName(QStringLiteral("itemDetail"));
    statusText_->setWordWrap(true);
    auto* statusRow = new QHBoxLayout(status_);
    statusRow->setContentsMargins(0, 0, 0, 0);
    statusRow->addWidget(statusText_, 1);
    statusRow->addWidget(download_);
    connect(download_, &QPushButton::clicked, this, [this] {
        if (!library_.selection())
            return;
        if (const std::optional<Library::CloudCopy> cloud = library_.fileFactsOf(*library_.selection()).cloud)
            library_.download(cloud->location);
    });

    facts_->setHorizontalSpacing(12);
    facts_->setVerticalSpacing(6);
    facts_->setColumnStretch(1, 1);
    copies_->setSpacing(10);

    auto* probableColumn = new QVBoxLayout(probable_);
    probableColumn->setContentsMargins(0, 0, 0, 0);
    probableColumn->setSpacing(14);
    probableColumn->addWidget(panelDivider(probable_));
    QLabel* probableTitle = panelLabel(TextStyle::headline, false, probable_);
    probableTitle->setText(QStringLiteral("Probably the same"));
    QLabel* probableNote = panelLabel(TextStyle::caption, true, probable_);
    probableNote->setText(QStringLiteral("Same name, pixel size and date, not compared byte for byte."));
    probableNote->setWordWrap(true);
    probableColumn->addWidget(probableTitle);
    probableColumn->addWidget(probableNote);
    probableRows_->setSpacing(10);
    probableColumn->addLayout(probableRows_);

    QVBoxLayout& col = column();
    col.addWidget(preview_);
    col.addWidget(title_);
    col.addWidget(status_);
    col.addWidget(actions_);
    col.addLayout(facts_);
    col.addWidget(panelDivider(&content()));
    col.addWidget(copiesHeader_);
    col.addLayout(copies_);
    col.addWidget(probable_);
    col.addStretch(1);
}

QStringList ItemDetailPanel::factLines() const
{
    QStringList lines;
    for (int row = 0; row < facts_->rowCount(); ++row) {
        const auto text = [&](int column) {
            QLayoutItem* cell = facts_->itemAtPosition(row, column);
            if (const auto* elided = cell ? qobject_cast<ElidedLabel*>(cell->widget()) : nullptr)
                return elided->fullText();
            const auto* label = cell ? qobject_cast<QLabel*>(cell->widget()) : nullptr;
            return label ? label->text() : QString();
        };
        if (!text(0).isEmpty())
            lines.append(text(0) + QStringLiteral(": ") + text(1));
    }
    return lines;
}

void ItemDetailPanel::refresh()
{
    const std::optional<Item> selected = library_.selection();
    if (!selected)
        return;
    const Item& item = *selected;
    const QList<Location>& locations = library_.locations();
    const Library::FileFacts files = library_.fileFactsOf(item);

    preview_->showItem(item);
    title_->setText(item.filename);
    if (shownID_ != item.id) {
        shownID_ = item.id;
        library_.logClick(QStringLiteral("inspector shown"), false);
    }

    const inspector::StatusLine status = inspector::statusLine(locations, library_.online(), files);
    status_->setVisible(status.kind != inspector::StatusLine::Kind::none);
    statusText_->setText(status.text);
    download_->setVisible(status.kind == inspector::StatusLine::Kind::cloud);

    actions_->showItem(item);

    // The rows below are widgets; a refresh that brings the same facts and copies keeps them.
    QList<inspector::Fact> facts = inspector::itemFacts(item, locations, files.created);
    if (facts != shownFacts_) {
        shownFacts_ = std::move(facts);
        clearLayout(*facts_);
        int row = 0;
        for (const inspector::Fact& fact : std::as_const(shownFacts_)) {
            QLabel* label = panelLabel(TextStyle::callout, true, &content());
            label->setText(fact.label);
            auto* value = new ElidedLabel(&content(), Qt::ElideRight);
            value->setFullText(fact.value);
            facts_->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
            facts_->addWidget(value, row, 1);
            ++row;
        }
    }

    copiesHeader_->setText(inspector::copiesHeader(item, library_.copies(), locations));
    if (shownCopies_.update(locations, library_.online()))
        fillCopyRows(*copies_, locations, &content());

    const QList<Location>& probable = library_.probable();
    probable_->setVisible(!probable.isEmpty());
    if (shownProbable_.update(probable, library_.online()))
        fillCopyRows(*probableRows_, probable, probable_);
}

void ItemDetailPanel::fillCopyRows(QVBoxLayout& rows, const QList<Location>& locations, QWidget* parent)
{
    clearLayout(rows);
    for (const Location& location : locations)
        rows.addWidget(new CopyRowView(library_, location, parent));
}

bool ItemDetailPanel::ShownCopies::update(const QList<Location>& newLocations, const QSet<QString>& online)
{
    QList<inspector::CopyRow> newRows;
    newRows.reserve(newLocations.size());
    for (const Location& location : newLocations)
        newRows.append(inspector::copyRow(location, online));
    if (newLocations == locations && newRows == rows)
        return false;
    locations = newLocations;
    rows = std::move(newRows);
    return true;
}
