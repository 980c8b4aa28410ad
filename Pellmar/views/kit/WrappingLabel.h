#pragma once

#include <QLabel>

// A plain-text label that wraps at word boundaries and, where one word is wider than the label
// (a long file name), inside the word, so that it never asks for more width than it is given.
class WrappingLabel : public QLabel {
    Q_OBJECT
public:
    explicit WrappingLabel(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The text laid out in lines of at most `width`; returns its height.
    int layOut(int width, QPainter* painter) const;
};
