#include "player/MediaPlayer.h"

#include "app/RunTimeError.h"
#include "player/AudioEngine.h"

#include <cmath>

namespace {

const QString kInvalidArgument = QStringLiteral("The parameter is incorrect.");

} // namespace

MediaPlayer::MediaPlayer(AudioEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setFocusPolicy(Qt::StrongFocus);
    m_engine.setVolume(m_volume);
    m_engine.setRate(m_rate);
    m_engine.setLooping(m_loop);
}

void MediaPlayer::setURL(const QString& url)
{
    m_url = url;
    if (m_autoStart && !url.isEmpty())
        m_engine.play(url);
}

void MediaPlayer::Settings::setMode(const QString& mode, bool flag)
{
    if (mode.compare(QStringLiteral("loop"), Qt::CaseInsensitive) != 0)
        throw RunTimeError(kInvalidArgument);
    m_player.m_loop = flag;
    m_player.m_engine.setLooping(flag);
}

bool MediaPlayer::Settings::getMode(const QString& mode) const
{
    if (mode.compare(QStringLiteral("loop"), Qt::CaseInsensitive) != 0)
        throw RunTimeError(kInvalidArgument);
    return m_player.m_loop;
}

void MediaPlayer::Settings::setVolume(int volume)
{
    if (volume < 0 || volume > 100)
        throw RunTimeError(kInvalidArgument);
    m_player.m_volume = volume;
    m_player.m_engine.setVolume(volume);
}

int MediaPlayer::Settings::volume() const
{
    return m_player.m_volume;
}

void MediaPlayer::Settings::setRate(double rate)
{
    if (!std::isfinite(rate) || rate < 1.0 || rate > 50.0)
        throw RunTimeError(kInvalidArgument);
    m_player.m_rate = rate;
    m_player.m_engine.setRate(rate);
}

double MediaPlayer::Settings::rate() const
{
    return m_player.m_rate;
}
bool MediaPlayer::Settings::autoStart() const
{
    return m_player.m_autoStart;
}
int MediaPlayer::Settings::playCount() const
{
    return m_player.m_playCount;
}
bool MediaPlayer::Settings::enableErrorDialogs() const
{
    return m_player.m_enableErrorDialogs;
}

void MediaPlayer::Controls::stop()
{
    m_player.m_engine.stop();
}
