#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/details/DetailRules.h"

#include <QWidget>

class Library;
class ProxyPlayer;
class QLabel;
class QStackedLayout;
class ShareAnchor;
class Thumbnail;

// The large preview at the top of the item detail: the video player on a video's proxy, a
// picture of a photo's, a video's or an audio file's preview, a document's picture or its type's
// icon. As wide as the inspector and as high as the item's ratio asks. A double click on a
// picture opens the fullscreen viewer (a document opens in its application), and the right button
// opens the item menu; the player has neither. Sharing from the inspector opens at this preview.
class ItemPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int iconHeight = 160;

    ItemPreview(Library& library, QWidget* parent = nullptr);
    ~ItemPreview() override;

    void showItem(const Item& item);
    inspector::PreviewKind kind() const { return kind_; }
    // The player exists from the first video on: making one starts the media backend, which takes
    // longer than a frame, so a photo or a document never pays for it.
    ProxyPlayer* player() const { return player_; }
    Thumbnail& picture() const { return *picture_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Library& library_;
    std::optional<Item> item_;
    inspector::PreviewKind kind_ = inspector::PreviewKind::picture;
    double ratio_ = 4.0 / 3.0;
    QStackedLayout* stack_;
    ProxyPlayer* player_ = nullptr;
    Thumbnail* picture_;
    Thumbnail* documentPicture_;
    QLabel* icon_;
    ShareAnchor* anchor_;
};
