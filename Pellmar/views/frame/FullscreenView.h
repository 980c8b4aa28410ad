#pragma once

#include "Pellmar/index/Model.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class Library;
class ProxyPlayer;
class QLabel;
class QToolButton;
class Thumbnail;

// One item over the whole window on black: a video's proxy in a player or the item's larger
// picture fitted in the window, a close button at the top left, and its file name and capture date
// at the bottom. Escape closes it, Left and Right step to the neighbouring items of the grid, and
// Space plays or pauses a video; the player pauses when the viewer goes. Only files of the preview folder are
// shown, never the item's own file. The window lays it over its content while the Library is in
// fullscreen with an item selected.
class FullscreenView : public QWidget {
    Q_OBJECT
public:
    // Where an item's preview-folder files are, when it has them.
    struct Files {
        std::function<std::optional<QString>(const Item&)> proxy;   // a video's proxy
        std::function<std::optional<QString>(const Item&)> image;   // the largest still picture
    };

    // What the viewer shows of an item.
    struct Media {
        enum class Kind { video, image, none };
        Kind kind = Kind::none;
        QString path;

        bool operator==(const Media&) const = default;
    };

    static constexpr int maxPixels = 4096;

    // A video's proxy, else the still picture, else nothing.
    static Media media(const Item& item, const Files& files);
    // The item `offset` places from `id` in `items`; nothing past either end or when `id` is not
    // among them.
    static std::optional<Item> step(const QList<Item>& items, const QString& id, int offset);
    // Where the picture goes in a view of `size`: inside the margins, in the item's aspect ratio
    // (4:3 when its width or height is unknown), centred.
    static QRect pictureRect(const QSize& size, const Item& item);

    FullscreenView(Library& library, Files files, QWidget* parent = nullptr);

    void setItem(const Item& item);
    const std::optional<Item>& item() const { return item_; }
    const Media& shownMedia() const { return media_; }
    Thumbnail& picture() const { return *picture_; }
    // The player, from the first video on.
    ProxyPlayer* player() const { return player_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutChildren();

    Library& library_;
    Files files_;
    std::optional<Item> item_;
    Media media_;
    Thumbnail* picture_;
    ProxyPlayer* player_ = nullptr;
    QLabel* empty_;
    QToolButton* close_;
    QLabel* name_;
    QLabel* date_;
};
