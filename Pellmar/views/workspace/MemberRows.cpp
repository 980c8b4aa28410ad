#include "Pellmar/views/workspace/MemberRows.h"

#include "Pellmar/views/kit/Icons.h"
#include "Pellmar/views/kit/TextColors.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int indentPerLevel = 18;
constexpr int disclosureWidth = 12;
constexpr int disclosureHeight = 18;
constexpr int chevronSize = 9;
constexpr int checkSize = 15;
constexpr int spacing = 6;
constexpr int openableDepth = 1;   // rows below this never open: source, folder, subfolder

// The triangle that opens and closes a row, pointing down while open.
class Disclosure : public QAbstractButton {
public:
    explicit Disclosure(QWidget* parent) : QAbstractButton(parent)
    {
        setCheckable(true);
        setFixedSize(disclosureWidth, disclosureHeight);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(QStringLiteral("Expand"));
        connect(this, &QAbstractButton::toggled, this,
                [this](bool open) { setAccessibleName(open ? QStringLiteral("Collapse") : QStringLiteral("Expand")); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPixmap chevron = Icons::pixmap(QStringLiteral("chevron.right"), chevronSize,
                                              secondaryTextColor(palette()), devicePixelRatioF());
        painter.translate(width() / 2.0, height() / 2.0);
        if (isChecked())
            painter.rotate(90);
        painter.drawPixmap(QPointF(-chevronSize / 2.0, -chevronSize / 2.0), chevron);
    }
};

// The check box symbol and the node's name on one line, shortened in the middle.
class MemberToggle : public QAbstractButton {
public:
    explicit MemberToggle(QWidget* parent) : QAbstractButton(parent)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    // The name is drawn as it is: never taken as a button text, whose '&' would mark a shortcut.
    void setName(const QString& name)
    {
        name_ = name;
        setAccessibleName(name);
        updateGeometry();
    }

    void setState(MemberState state)
    {
        state_ = state;
        update();
    }

    QSize sizeHint() const override
    {
        return {checkSize + spacing + fontMetrics().horizontalAdvance(name_), std::max(disclosureHeight, fontMetrics().height())};
    }
    QSize minimumSizeHint() const override { return {checkSize + spacing + 40, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor accent = palette().color(QPalette::Highlight);
        const auto [symbol, color] = [&]() -> std::pair<QString, QColor> {
            switch (state_) {
            case MemberState::on: return {QStringLiteral("checkmark.square.fill"), accent};
            case MemberState::mixed: return {QStringLiteral("minus.square.fill"), accent};
            case MemberState::off: break;
            }
            return {QStringLiteral("square"), secondaryTextColor(palette())};
        }();
        painter.drawPixmap(0, (height() - checkSize) / 2, Icons::pixmap(symbol, checkSize, color, devicePixelRatioF()));
        const QRect textArea(checkSize + spacing, 0, width() - checkSize - spacing, height());
        painter.setPen(primaryTextColor(palette()));
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(name_, Qt::ElideMiddle, textArea.width()));
        if (hasFocus()) {
            painter.setPen(QPen(accent, 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    QString name_;
    MemberState state_ = MemberState::off;
};

} // namespace

MemberSet::MemberSet(QSet<QString> members, NodeLookup nodeForKey, QObject* parent)
    : QObject(parent), members_(std::move(members)), nodeForKey_(std::move(nodeForKey))
{
}

void MemberSet::toggle(const FolderNode& node)
{
    members_ = toggleMember(node, members_, nodeForKey_);
    Q_EMIT changed();
}

MemberRows::MemberRows(const FolderNode& node, int depth, MemberSet& members, QWidget* parent)
    : QWidget(parent), node_(node), depth_(depth), members_(members), toggle_(new MemberToggle(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(depth * indentPerLevel, 0, 0, 0);
    row->setSpacing(spacing);
    if (depth <= openableDepth && !memberChildren(node).isEmpty()) {
        disclosure_ = new Disclosure(this);
        connect(disclosure_, &QAbstractButton::toggled, this, &MemberRows::setOpen);
        row->addWidget(disclosure_);
    } else {
        row->addSpacing(disclosureWidth);
    }
    static_cast<MemberToggle*>(toggle_)->setName(node.name);
    connect(toggle_, &QAbstractButton::clicked, this, [this] { members_.toggle(node_); });
    row->addWidget(toggle_, 1);
    column->addLayout(row);

    connect(&members_, &MemberSet::changed, this, &MemberRows::showState);
    showState();
}

void MemberRows::showState()
{
    static_cast<MemberToggle*>(toggle_)->setState(state());
}

void MemberRows::setOpen(bool open)
{
    open_ = open;
    if (open && !childBox_) {
        childBox_ = new QWidget(this);
        auto* column = new QVBoxLayout(childBox_);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(4);
        for (const FolderNode& child : memberChildren(node_)) {
            auto* rows = new MemberRows(child, depth_ + 1, members_, childBox_);
            column->addWidget(rows);
            children_.append(rows);
        }
        static_cast<QVBoxLayout*>(layout())->addWidget(childBox_);
    }
    if (childBox_)
        childBox_->setVisible(open);
}
