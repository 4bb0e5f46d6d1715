#include "Mixer.h"

#include "Voice.h"
#include "VoiceBin.h"

#include <algorithm>
#include <cmath>

namespace {
// Voices fading out at once: more quick presses than this drop the oldest fade.
constexpr std::size_t kMostLeaving = 16;

std::int16_t toSample(float value)
{
    return std::int16_t(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}
} // namespace

// The rings are filled as they are made: their memory is the mixer's from the start, not taken
// over the first sounds.
Mixer::Mixer(float gain, VoiceBin& bin)
    : m_bin(bin), m_gain(gain), m_target(gain), m_keptMix(kKeptSamples), m_keptGains(kKeptSamples),
      m_keptRoom(kKeptSamples / m_layout.size())
{
    m_layout.reserve(kMaxChannels);
    m_leaving.reserve(kMostLeaving);
    m_mix.reserve(Voice::kRenderBlock * kMaxChannels);
    m_gains.reserve(Voice::kRenderBlock);
}

Mixer::~Mixer() = default;

void Mixer::setOutput(int rate, const SpeakerLayout& layout)
{
    m_rate = rate;
    m_layout = layout;
    m_keptRoom = kKeptSamples / std::max<std::size_t>(layout.size(), 1);
    m_keptNext = 0;
    m_keptFrames = 0;
    if (m_current)
        m_current->setOutput(rate, layout);
    for (auto& voice : m_leaving)
        voice->setOutput(rate, layout);
}

void Mixer::start(std::unique_ptr<Voice> voice)
{
    retire();
    voice->setOutput(m_rate, m_layout);
    m_current = std::move(voice);
}

void Mixer::stop()
{
    retire();
}

void Mixer::clear()
{
    drop(m_current);
    for (auto& voice : m_leaving)
        drop(voice);
    m_leaving.clear();
}

void Mixer::drop(std::unique_ptr<Voice>& voice)
{
    if (voice)
        m_bin.discard(std::move(voice));
}

std::size_t Mixer::fadeFrames() const
{
    return std::size_t(Voice::kFadeSeconds * m_rate);
}

void Mixer::hold()
{
    if (m_current)
        m_current->hold(fadeFrames());
}

bool Mixer::held() const
{
    return m_current && m_current->held() && m_leaving.empty();
}

void Mixer::resume()
{
    if (m_current)
        m_current->resume();
}

void Mixer::retire()
{
    if (!m_current)
        return;
    m_current->fadeOut(fadeFrames());
    if (m_leaving.size() == kMostLeaving) {
        drop(m_leaving.front());
        m_leaving.erase(m_leaving.begin());
    }
    m_leaving.push_back(std::move(m_current));
}

void Mixer::setGain(float gain)
{
    if (gain == m_target)
        return;
    m_target = gain;
    if (!active()) {
        // Nothing sounds: the next sound starts at the new gain.
        m_gain = gain;
        m_rampLeft = 0;
        return;
    }
    startRamp();
}

void Mixer::startRamp()
{
    m_rampLeft = std::max<std::size_t>(std::size_t(kGainRampSeconds * m_rate), 1);
    m_step = (m_target - m_gain) / float(m_rampLeft);
}

void Mixer::rampGain(std::size_t frames)
{
    for (std::size_t i = 0; i < frames; ++i) {
        if (m_rampLeft) {
            m_gain += m_step;
            if (--m_rampLeft == 0)
                m_gain = m_target;
        }
        m_gains[i] = m_gain;
    }
}

void Mixer::render(std::int16_t* out, std::size_t frames)
{
    const std::size_t width = m_layout.size();
    if (!active() || width > kMaxChannels) {
        std::fill_n(out, frames * width, std::int16_t(0));
        m_keptFrames = 0;
        return;
    }
    for (std::size_t done = 0; done < frames; done += Voice::kRenderBlock)
        renderBlock(out + done * width, std::min(Voice::kRenderBlock, frames - done));
}

void Mixer::renderBlock(std::int16_t* out, std::size_t frames)
{
    const std::size_t width = m_layout.size();
    m_mix.assign(frames * width, 0.0f);
    m_gains.resize(frames);
    rampGain(frames);
    if (m_current && !m_current->mixInto(m_mix.data(), frames, m_speed, m_loop))
        drop(m_current);
    for (auto& voice : m_leaving)
        voice->mixInto(m_mix.data(), frames, m_speed, m_loop);
    for (auto& voice : m_leaving)
        if (voice->finished())
            drop(voice);
    std::erase(m_leaving, nullptr);
    keep(frames);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < width; ++c)
            out[i * width + c] = toSample(m_mix[i * width + c] * m_gains[i]);
}

void Mixer::keep(std::size_t frames)
{
    const std::size_t width = m_layout.size();
    for (std::size_t i = 0; i < frames; ++i) {
        std::copy_n(&m_mix[i * width], width, &m_keptMix[m_keptNext * width]);
        m_keptGains[m_keptNext] = m_gains[i];
        m_keptNext = (m_keptNext + 1) % m_keptRoom;
    }
    m_keptFrames = std::min(m_keptFrames + frames, m_keptRoom);
}

// Where in the rings the frame `back` frames before the last one rendered is.
std::size_t Mixer::keptAt(std::size_t back) const
{
    return (m_keptNext + m_keptRoom - back) % m_keptRoom;
}

void Mixer::regain(std::int16_t* out, std::size_t frames)
{
    frames = std::min(frames, m_keptFrames);
    if (frames == 0)
        return;
    // The ramp starts again from the gain the first of them had, and ends where it would have.
    m_gain = m_keptGains[keptAt(frames)];
    startRamp();
    const std::size_t width = m_layout.size();
    for (std::size_t i = 0, at = keptAt(frames); i < frames; ++i, at = (at + 1) % m_keptRoom) {
        rampGain(1);
        m_keptGains[at] = m_gains[0];
        for (std::size_t c = 0; c < width; ++c)
            out[i * width + c] = toSample(m_keptMix[at * width + c] * m_gains[0]);
    }
}

bool Mixer::refade(std::int16_t* out, std::size_t frames)
{
    const std::size_t fade = fadeFrames();
    if (frames > m_keptFrames || frames < fade)
        return false;
    const std::size_t width = m_layout.size();
    std::fill_n(out, frames * width, std::int16_t(0));
    for (std::size_t i = 0, at = keptAt(frames); i < fade; ++i, at = (at + 1) % m_keptRoom) {
        const float gain = m_keptGains[at] * float(fade - 1 - i) / float(fade);
        for (std::size_t c = 0; c < width; ++c)
            out[i * width + c] = toSample(m_keptMix[at * width + c] * gain);
    }
    clear();
    m_keptFrames = 0;
    return true;
}
