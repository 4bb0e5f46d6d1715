#pragma once

#include "ChannelRouting.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Voice;
class VoiceBin;

// The sound as the output plays it: the voice that plays and those fading out, scaled by the
// gain ramp, routed and rounded to 16-bit frames of the output's layout. Frames in, frames
// out: no thread and no clock, so every sample it makes can be checked. It never allocates or
// frees: its buffers are made with it, and the voices it is done with go to a bin.
//
// Gain changes ramp in a straight line over 10 ms; starts, stops and switches fade over 5 ms.
// The frames last rendered are kept, before the gain, so that what the output has not played
// of them can be rendered again when the gain changes or the sound stops (regain(), refade()).
class Mixer {
public:
    static constexpr double kGainRampSeconds = 0.010;

    // Room for this many output channels; a layout wider than that is not played.
    static constexpr std::size_t kMaxChannels = 32;
    // Samples kept of what was rendered: 340 ms of stereo at 48 kHz, 85 ms of 7.1 (21 ms at
    // 192 kHz). Where the server holds more unread, only the newest are taken back.
    static constexpr std::size_t kKeptSamples = 1 << 15;

    Mixer(float gain, VoiceBin& bin);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // The output's rate and layout, for the voices to come and those playing.
    void setOutput(int rate, const SpeakerLayout& layout);
    int rate() const { return m_rate; }
    const SpeakerLayout& layout() const { return m_layout; }

    // Plays `voice` from its start; what played fades out.
    void start(std::unique_ptr<Voice> voice);
    // Fades out what plays.
    void stop();
    // Drops every voice at once: for an output that is gone.
    void clear();
    // Frames of a start, stop or switch fade.
    std::size_t fadeFrames() const;
    // Fades out what plays and keeps it, at its place, for resume() on another output; what
    // was fading out ends.
    void hold();
    // Only a held voice is left: nothing more will be heard until resume().
    bool held() const;
    void resume();

    // Linear gain, reached over the ramp while sound plays, at once otherwise.
    void setGain(float gain);
    void setRate(double rate) { m_speed = rate; }
    void setLooping(bool loop) { m_loop = loop; }

    // A voice plays (not only a fade).
    bool playing() const { return m_current != nullptr; }
    // Anything is left to be heard, fades included.
    bool active() const { return m_current || !m_leaving.empty(); }

    // The next `frames` frames, interleaved; silence once nothing is active.
    void render(std::int16_t* out, std::size_t frames);

    // The last frames rendered of the sound that still plays, as far as they are kept.
    std::size_t kept() const { return m_keptFrames; }
    // Renders the last `frames` frames (at most kept()) again into `out`, with the latest gain
    // change ramping from their start instead of from their end.
    void regain(std::int16_t* out, std::size_t frames);
    // Renders the last `frames` frames again with what played faded out from their start and
    // silence after it, and drops every voice; returns false, rendering nothing, unless the
    // whole fade fits.
    bool refade(std::int16_t* out, std::size_t frames);

private:
    void retire();
    void drop(std::unique_ptr<Voice>& voice);
    void startRamp();
    void rampGain(std::size_t frames);
    void renderBlock(std::int16_t* out, std::size_t frames);
    void keep(std::size_t frames);
    std::size_t keptAt(std::size_t back) const;

    VoiceBin& m_bin;

    int m_rate = 44100;
    SpeakerLayout m_layout{standardLayout(2)};
    std::unique_ptr<Voice> m_current;
    std::vector<std::unique_ptr<Voice>> m_leaving;
    double m_speed = 1.0;
    bool m_loop = false;
    float m_gain;
    float m_target;
    float m_step = 0.0f;
    std::size_t m_rampLeft = 0;
    std::vector<float> m_mix;
    std::vector<float> m_gains;
    // What was rendered before the gain, and its gain: rings of whole frames.
    std::vector<float> m_keptMix;
    std::vector<float> m_keptGains;
    std::size_t m_keptRoom = 0;   // frames of the layout
    std::size_t m_keptNext = 0;   // where the next frame goes
    std::size_t m_keptFrames = 0; // since the sound started, at most the room
};
