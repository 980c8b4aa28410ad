#include "Pellmar/views/details/ProxyPlayer.h"

#include "Pellmar/views/grid/Thumbnail.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QHBoxLayout>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QSlider>
#include <QStackedLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace {

constexpr int posterPixels = 2048;

} // namespace

void ProxyPlayer::startBackend()
{
    // Asking for the audio outputs makes the backend start and list its devices.
    QMediaDevices::audioOutputs();
}

ProxyPlayer::ProxyPlayer(TaskPools& pools, QWidget* parent)
    : QWidget(parent)
    , screen_(new QStackedLayout)
    , video_(new QVideoWidget(this))
    , poster_(new Thumbnail(pools, posterPixels, this))
    , play_(new QToolButton(this))
    , position_(new QSlider(Qt::Horizontal, this))
{
    video_->setAspectRatioMode(Qt::KeepAspectRatio);
    // Black around and before the picture, as a player is.
    QPalette dark = video_->palette();
    dark.setColor(QPalette::Window, Qt::black);
    video_->setPalette(dark);
    video_->setAutoFillBackground(true);
    poster_->setObjectName(QStringLiteral("poster"));
    play_->setObjectName(QStringLiteral("play"));
    play_->setAutoRaise(true);
    play_->setFocusPolicy(Qt::NoFocus);
    position_->setObjectName(QStringLiteral("position"));
    position_->setFocusPolicy(Qt::NoFocus);
    position_->setRange(0, 0);

    screen_->addWidget(video_);
    screen_->addWidget(poster_);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(4, 0, 4, 0);
    controls->addWidget(play_);
    controls->addWidget(position_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(screen_, 1);
    layout->addLayout(controls);

    connect(play_, &QToolButton::clicked, this, &ProxyPlayer::togglePlay);
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

bool ProxyPlayer::showsPoster() const
{
    return screen_->currentWidget() == poster_;
}

void ProxyPlayer::setUrl(const QUrl& url, const std::optional<QString>& poster)
{
    // A player whose source went missing is replaced even for the same file.
    if (player_ && !player_->source().isEmpty() && player_->source() == url)
        return;
    if (player_) {
        player_->pause();
        player_->deleteLater();   // with its audio output
    }
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(player_);
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(video_);
    player_->setSource(url);
    poster_->setPath(poster);
    screen_->setCurrentWidget(poster ? static_cast<QWidget*>(poster_) : video_);
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        if (state == QMediaPlayer::PlayingState)
            screen_->setCurrentWidget(video_);
        updateControls();
    });
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 ms) { position_->setRange(0, int(ms)); });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!position_->isSliderDown())
            position_->setValue(int(ms));
    });
    position_->setRange(0, 0);
    updateControls();
}

void ProxyPlayer::togglePlay()
{
    if (!player_)
        return;
    if (player_->playbackState() == QMediaPlayer::PlayingState)
        player_->pause();
    else
        player_->play();
}

void ProxyPlayer::updateControls()
{
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    play_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_->setToolTip(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    play_->setAccessibleName(play_->toolTip());
}
