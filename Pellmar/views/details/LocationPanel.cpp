#include "Pellmar/views/details/LocationPanel.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/details/CopyRowView.h"
#include "Pellmar/views/details/LocationRules.h"
#include "Pellmar/views/details/Mosaic.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/PlaceWords.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

LocationPanel::LocationPanel(Library& library, QWidget* parent)
    : PanelFrame(parent)
    , library_(library)
    , mosaic_(new Mosaic(library.pools(), &content()))
    , symbol_(new QLabel(&content()))
    , title_(panelTitle(&content()))
    , sourceCaption_(new QWidget(&content()))
    , dot_(new StatusDot(7, sourceCaption_))
    , connection_(panelLabel(TextStyle::caption, true, sourceCaption_))
    , path_(new ElidedLabel(sourceCaption_))
    , scopeCaption_(panelLabel(TextStyle::caption, true, &content()))
    , empty_(panelLabel(TextStyle::callout, true, &content()))
    , figuresDivider_(panelDivider(&content()))
    , figures_(new QWidget(&content()))
    , figureGrid_(new QGridLayout(figures_))
    , actions_(new QWidget(&content()))
    , actionRow_(new QHBoxLayout(actions_))
{
    setObjectName(QStringLiteral("locationPanel"));
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(symbol_);
    header->addWidget(title_, 1);

    auto* status = new QHBoxLayout;
    status->setSpacing(6);
    status->addWidget(dot_);
    status->addWidget(connection_, 1);
    auto* captionColumn = new QVBoxLayout(sourceCaption_);
    captionColumn->setContentsMargins(0, 0, 0, 0);
    captionColumn->setSpacing(2);
    captionColumn->addLayout(status);
    captionColumn->addWidget(path_);
    path_->setFont(connection_->font());
    path_->setPalette(connection_->palette());
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    empty_->setText(QStringLiteral("No photos or videos here"));
    figureGrid_->setContentsMargins(0, 0, 0, 0);
    figureGrid_->setHorizontalSpacing(12);
    figureGrid_->setVerticalSpacing(6);
    figureGrid_->setColumnStretch(1, 1);
    actionRow_->setContentsMargins(0, 0, 0, 0);
    actionRow_->setSpacing(8);

    QVBoxLayout& col = column();
    col.addWidget(mosaic_);
    col.addLayout(header);
    col.addWidget(sourceCaption_);
    col.addWidget(scopeCaption_);
    col.addWidget(empty_);
    col.addWidget(figuresDivider_);
    col.addWidget(figures_);
    col.addWidget(actions_);
    col.addStretch(1);
}

void LocationPanel::refresh()
{
    std::optional<Source> source;
    if (const std::optional<QString>& id = library_.sourceFilter())
        source = library_.sourceByID(*id);
    const LocationSummary summary = library_.summary();
    const inspector::PlaceTitle place = inspector::placeTitle(
        {library_.favoritesOnly(), library_.notBackedUp(), library_.smartFilter(), library_.pathFilter(), source});
    const bool empty = inspector::emptyFolder(summary, source, library_.favoritesOnly());

    mosaic_->setVisible(!empty);
    QList<std::optional<QString>> pictures;
    for (const Item& item : library_.heroItems())
        pictures.append(library_.previewURL(item));
    mosaic_->setPaths(pictures);

    const int symbolSize = title_->fontMetrics().height();
    symbol_->setPixmap(Icons::pixmap(place.symbol, symbolSize, secondaryTextColor(palette()), devicePixelRatioF()));
    title_->setText(place.title);

    sourceCaption_->setVisible(source.has_value());
    scopeCaption_->setVisible(!source);
    if (source) {
        const bool online = library_.online().contains(source->id);
        dot_->setOn(online);
        connection_->setText(online ? QStringLiteral("Connected") : QStringLiteral("Not plugged in"));
        const QString path = source->kind == SourceKind::folder
                                 ? QDir::toNativeSeparators(library_.pathFilter().isEmpty()
                                                                ? source->rootPath
                                                                : source->rootPath + u'/' + library_.pathFilter())
                                 : library_.locationTitle();
        path_->setFullText(path.isEmpty() ? source->name : path);
    } else {
        scopeCaption_->setText(inspector::scopeCaption(library_.notBackedUp(), library_.favoritesOnly(),
                                                       library_.workspaceMembers(), library_.sources().size()));
    }

    empty_->setVisible(empty);
    figuresDivider_->setVisible(!empty);
    figures_->setVisible(!empty);
    clearLayout(*figureGrid_);
    int row = 0;
    for (const inspector::FigureRow& figure : inspector::figureRows(summary, source)) {
        QLabel* label = panelLabel(TextStyle::callout, true, figures_);
        label->setText(figure.label);
        figureGrid_->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        QLabel* value = panelLabel(TextStyle::callout, false, figures_);
        value->setText(figure.value);
        if (figure.onlyHereButton) {
            auto* cell = new QWidget(figures_);
            auto* line = new QHBoxLayout(cell);
            line->setContentsMargins(0, 0, 0, 0);
            line->setSpacing(8);
            value->setParent(cell);
            line->addWidget(value);
            const bool on = library_.onlyHere();
            auto* button = new QPushButton(on ? QStringLiteral("Show all") : QStringLiteral("Show"), cell);
            connect(button, &QPushButton::clicked, this, [this, on] { library_.setOnlyHere(!on); });
            line->addWidget(button);
            line->addStretch(1);
            figureGrid_->addWidget(cell, row, 1);
        } else {
            figureGrid_->addWidget(value, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
        }
        ++row;
    }

    actions_->setVisible(source.has_value());
    clearLayout(*actionRow_);
    if (source) {
        if (source->kind == SourceKind::folder && library_.online().contains(source->id)) {
            auto* reveal = new QPushButton(QString::fromUtf16(showInFilesLabel), actions_);
            reveal->setDefault(true);
            connect(reveal, &QPushButton::clicked, this, [this, id = source->id] {
                library_.revealFolder(id, library_.pathFilter());
            });
            actionRow_->addWidget(reveal);
        }
        auto* rescan = new QPushButton(QStringLiteral("Rescan"), actions_);
        QPointer<Library> owner(&library_);
        connect(rescan, &QPushButton::clicked, this, [owner, scanned = *source] {
            if (owner)
                Tasks::start(owner->scan(scanned));
        });
        actionRow_->addWidget(rescan);
        actionRow_->addStretch(1);
    }
}
