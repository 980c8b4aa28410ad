#pragma once

#include <QUrl>
#include <QWidget>

class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoWidget;

// Plays one video file in the inspector, with a play button and a position slider under the
// picture. A new player is made only when the file changes, so showing the same file again keeps
// the position and the play state; the player of the old file is paused and released first.
// Nothing plays until the user starts it.
class ProxyPlayer : public QWidget {
    Q_OBJECT
public:
    explicit ProxyPlayer(QWidget* parent = nullptr);

    void setUrl(const QUrl& url);
    QUrl url() const;
    QMediaPlayer* player() const { return player_; }

private:
    void updateControls();

    QVideoWidget* video_;
    QToolButton* play_;
    QSlider* position_;
    QMediaPlayer* player_ = nullptr;
};
