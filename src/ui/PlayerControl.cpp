#include "PlayerControl.h"

#include "AudioEngine.h"
#include "RunTimeError.h"

#include <cmath>

namespace {

void refuse()
{
    throw RunTimeError(QStringLiteral("The parameter is incorrect."));
}

} // namespace

PlayerControl::PlayerControl(AudioEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_rate(Playback::kNormalRate),
      m_volume(Playback::kDefaultVolume)
{
    setFocusPolicy(Qt::StrongFocus);
    m_engine.setVolume(m_volume);
    m_engine.setRate(m_rate);
    m_engine.setLooping(false);
}

void PlayerControl::setURL(const QString& url)
{
    m_url = url;
    if (!url.isEmpty())
        m_engine.play(url);
}

void PlayerControl::setLoop(bool loop)
{
    m_engine.setLooping(loop);
}

void PlayerControl::setVolume(int volume)
{
    if (volume < 0 || volume > Playback::kMaxVolume)
        refuse();
    m_volume = volume;
    m_engine.setVolume(volume);
}

void PlayerControl::setRate(double rate)
{
    if (!std::isfinite(rate) || rate < Playback::kMinRate || rate > Playback::kMaxRate)
        refuse();
    m_rate = rate;
    m_engine.setRate(rate);
}

void PlayerControl::stop()
{
    m_engine.stop();
}
