#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class QAudioOutput;
class QMediaPlayer;
class QSlider;
class QStackedLayout;
class QToolButton;
class QVideoWidget;
class TaskPools;
class Thumbnail;

// Plays one video file with its sound, with a play button and a position slider under the
// picture. Until the file first plays, its poster (a still picture of it) stands in for the video
// picture, which is black before the first frame. A new player is made only when the file
// changes, so showing the same file again keeps the position and the play state; the player of
// the old file is paused and released first. Nothing plays until the user starts it. The controls
// never take the keyboard: the view around the player keeps it.
class ProxyPlayer : public QWidget {
    Q_OBJECT
public:
    // Loads the media backend (its plugin and the GStreamer registry, which takes a second or more
    // the first time), so that the first player made later does not hold the window up. Safe to
    // call from any thread, and so meant for a pool thread at start.
    static void startBackend();

    // `pools` decode the poster and must outlive the view.
    explicit ProxyPlayer(TaskPools& pools, QWidget* parent = nullptr);

    void setUrl(const QUrl& url, const std::optional<QString>& poster = std::nullopt);
    QUrl url() const;
    QMediaPlayer* player() const { return player_; }
    // Whether the poster stands in for the video picture.
    bool showsPoster() const;
    Thumbnail& poster() const { return *poster_; }

    // Plays a paused or stopped video, pauses a playing one.
    void togglePlay();

private:
    void updateControls();

    QStackedLayout* screen_;
    QVideoWidget* video_;
    Thumbnail* poster_;
    QToolButton* play_;
    QSlider* position_;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
};
