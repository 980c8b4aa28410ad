#include "Pellmar/views/details/ProxyPlayer.h"

#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

ProxyPlayer::ProxyPlayer(QWidget* parent)
    : QWidget(parent)
    , video_(new QVideoWidget(this))
    , play_(new QToolButton(this))
    , position_(new QSlider(Qt::Horizontal, this))
{
    video_->setAspectRatioMode(Qt::KeepAspectRatio);
    // Black around and before the picture, as a player is.
    QPalette dark = video_->palette();
    dark.setColor(QPalette::Window, Qt::black);
    video_->setPalette(dark);
    video_->setAutoFillBackground(true);
    play_->setAutoRaise(true);
    play_->setToolTip(QStringLiteral("Play"));
    position_->setRange(0, 0);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(4, 0, 4, 0);
    controls->addWidget(play_);
    controls->addWidget(position_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(video_, 1);
    layout->addLayout(controls);

    connect(play_, &QToolButton::clicked, this, [this] {
        if (!player_)
            return;
        if (player_->playbackState() == QMediaPlayer::PlayingState)
            player_->pause();
        else
            player_->play();
    });
    connect(position_, &QSlider::sliderMoved, this, [this](int ms) {
        if (player_)
            player_->setPosition(ms);
    });
    updateControls();
}

QUrl ProxyPlayer::url() const
{
    return player_ ? player_->source() : QUrl();
}

void ProxyPlayer::setUrl(const QUrl& url)
{
    // A player whose source went missing is replaced even for the same file.
    if (player_ && !player_->source().isEmpty() && player_->source() == url)
        return;
    if (player_) {
        player_->pause();
        player_->deleteLater();
    }
    player_ = new QMediaPlayer(this);
    player_->setVideoOutput(video_);
    player_->setSource(url);
    connect(player_, &QMediaPlayer::playbackStateChanged, this, &ProxyPlayer::updateControls);
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 ms) { position_->setRange(0, int(ms)); });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!position_->isSliderDown())
            position_->setValue(int(ms));
    });
    position_->setRange(0, 0);
    updateControls();
}

void ProxyPlayer::updateControls()
{
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    play_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_->setToolTip(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
}
