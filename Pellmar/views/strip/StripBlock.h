#pragma once

#include <QFrame>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

// One block of the activity strip: its content inset by 12 points on a faint shade, with a
// divider below. Also builds the rows, labels, bars and buttons the blocks share.
class StripBlock : public QFrame {
    Q_OBJECT
public:
    // `rows`: a block of several rows stacks them 6 points apart; otherwise it is one row.
    StripBlock(const QString& name, bool rows, QWidget* parent);

    QBoxLayout& content() const { return *content_; }

    // A row of the block, appended to its content.
    QHBoxLayout* addRow();
    // A label in the body or caption size: a block's title in medium weight, counts and captions
    // in the secondary colour.
    enum class Text { title, body, counts, caption };
    static QLabel* label(const QString& name, Text text, QWidget* parent);
    // Gives a label the font and colour of `text`, plain text, and `name`.
    static void style(QLabel* label, const QString& name, Text text);
    static QProgressBar* bar(const QString& name, QWidget* parent);
    static QPushButton* button(const QString& name, const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QBoxLayout* content_;
};
