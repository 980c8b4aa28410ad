#pragma once

#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

class Library;
class TaskPools;
class ThumbnailLoader;

// The preview window of the grid's Space key: the files of Library::quickLookSource one at a time,
// each as the largest of its pictures that decodes, fitted to the window over a dark ground; a file
// with none shows its name. Left and Right (Up and Down too) page through the files; Escape and
// Space close the window. Pictures are decoded off the GUI thread, and one that arrives after the
// page changed is dropped.
class QuickLookWindow : public QWidget {
    Q_OBJECT
public:
    // Shows itself each time the Library has files to preview. `pools` must outlive the window.
    QuickLookWindow(Library& library, TaskPools& pools, QWidget* parent = nullptr);

    qsizetype page() const { return page_; }
    qsizetype pageCount() const { return files_.size(); }
    const QImage& picture() const { return image_; }
    void showPage(qsizetype page);

Q_SIGNALS:
    // The page's picture is on screen, or none of its pictures could be decoded.
    void pageLoaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFiles();
    void requestPicture();

    Library& library_;
    ThumbnailLoader* loader_;
    QStringList files_;
    QList<QStringList> pictures_;
    qsizetype page_ = 0;
    qsizetype attempt_ = 0;   // the picture of the page being decoded
    bool loading_ = false;
    QImage image_;
    QPixmap scaled_;   // image_ fitted to the window, made again when the size changes
};
