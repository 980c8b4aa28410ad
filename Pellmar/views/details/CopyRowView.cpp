#include "Pellmar/views/details/CopyRowView.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/platform/Desktop.h"
#include "Pellmar/views/details/DetailRules.h"
#include "Pellmar/views/details/PanelFrame.h"
#include "Pellmar/views/kit/ElidedLabel.h"
#include "Pellmar/views/kit/PlaceWords.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

StatusDot::StatusDot(int diameter, QWidget* parent)
    : QWidget(parent)
    , diameter_(diameter)
{
    setFixedSize(diameter, diameter);
}

void StatusDot::setOn(bool on)
{
    if (on_ == on)
        return;
    on_ = on;
    update();
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor color = on_ ? QColor(52, 199, 89) : secondaryTextColor(palette());
    if (!on_)
        color.setAlphaF(0.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, diameter_, diameter_));
}

CopyRowView::CopyRowView(Library& library, const Location& location, QWidget* parent)
    : QWidget(parent)
    , library_(library)
    , location_(location)
{
    const inspector::CopyRow row = inspector::copyRow(location, library.online());
    auto* dot = new StatusDot(8, this);
    dot->setOn(row.online);
    auto* dotColumn = new QVBoxLayout;
    dotColumn->setContentsMargins(0, 5, 0, 0);
    dotColumn->addWidget(dot);
    dotColumn->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    // Names and paths too long for the column are shortened in the middle, so that the button
    // beside them stays whole.
    ElidedLabel* source = elidedPanelLabel(TextStyle::callout, false, this);
    source->setFullText(row.source);
    ElidedLabel* place = elidedPanelLabel(TextStyle::caption, true, this);
    place->setFullText(row.place);
    QLabel* detail = panelLabel(TextStyle::caption2, true, this);
    detail->setText(row.detail);
    detail->setWordWrap(true);
    texts->addWidget(source);
    texts->addWidget(place);
    texts->addWidget(detail);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addLayout(dotColumn);
    layout->addLayout(texts, 1);
    if (row.showInFiles) {
        auto* reveal = new QPushButton(QString::fromUtf16(showInFilesLabel), this);
        reveal->setObjectName(QStringLiteral("showInFiles"));
        QFont small = reveal->font();
        small.setPointSizeF(small.pointSizeF() * 0.88);
        reveal->setFont(small);
        connect(reveal, &QPushButton::clicked, this, [this] {
            // A copy that went out of reach since the row was drawn gives no path, and nothing happens.
            if (const std::optional<QString> path = location_.local ? library_.url(location_) : std::nullopt)
                library_.desktop().reveal(*path);
        });
        layout->addWidget(reveal, 0, Qt::AlignTop);
    }
}
