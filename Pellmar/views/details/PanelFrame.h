#pragma once

#include <QScrollArea>
#include <Qt>

class QVBoxLayout;

// The frame every inspector panel shares: a vertical scroll area whose scroll bar is always shown,
// over one column with 14 points between its parts and 16 points of margin, as wide as the
// inspector. Each time the panel is shown it logs where its content begins in the window.
class PanelFrame : public QScrollArea {
    Q_OBJECT
public:
    explicit PanelFrame(QWidget* parent = nullptr);

    QVBoxLayout& column() const { return *column_; }
    QWidget& content() const { return *content_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* content_;
    QVBoxLayout* column_;
};

// A label in the inspector's fonts: the headline (bold), the callout (the body size), the caption
// (smaller) and caption2 (smaller still), in the primary or the secondary text colour. Plain text.
// A title wraps, inside a word where one is wider than the column. The elided kind shortens a text too long for the column with an ellipsis (its tooltip shows it whole).
enum class TextStyle { headline, callout, caption, caption2 };
class ElidedLabel;
class QLabel;
QLabel* panelLabel(TextStyle style, bool secondary, QWidget* parent);
QLabel* panelTitle(QWidget* parent);
ElidedLabel* elidedPanelLabel(TextStyle style, bool secondary, QWidget* parent, Qt::TextElideMode mode = Qt::ElideMiddle);

// A thin horizontal line between parts of a panel.
QWidget* panelDivider(QWidget* parent);

// Empties a layout a panel fills again, deleting its widgets.
class QLayout;
void clearLayout(QLayout& layout);
