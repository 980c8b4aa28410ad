#pragma once

#include <QLabel>

// A one-line plain-text label that shortens its text to its width with an ellipsis: in the middle
// by default, so that both the start and the end of a name or path stay readable, or at the start
// (Qt::ElideLeft) where the end of a path matters most.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideMiddle);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString fullText_;
    Qt::TextElideMode mode_;
};
