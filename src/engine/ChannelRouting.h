#pragma once

#include <vector>

// Where a channel of a file or of the output is meant to sound. Positions the program does not
// place (top, wide, auxiliary...) are Other: a file's are not played, an output's stay silent.
enum class Speaker {
    FrontLeft,
    FrontRight,
    FrontCentre,
    Lfe,
    RearLeft,
    RearRight,
    RearCentre,
    SideLeft,
    SideRight,
    Mono,
    Other
};

using SpeakerLayout = std::vector<Speaker>;

// The WAVE order for a count of channels without a layout of their own: mono, stereo,
// 3.0, quad, 5.0, 5.1, 6.1 and 7.1; beyond eight channels the rest are Other.
SpeakerLayout standardLayout(int channels);
// The order Ogg Vorbis and Opus put channels in for the same counts: centre between the fronts,
// LFE last.
SpeakerLayout vorbisLayout(int channels);

// What a stream to a device of the given layout carries: the device's own layout, so that the
// server passes every channel through as it is, or plain stereo where the device has no front
// pair (a mono device, or one of only auxiliary channels) and the server must mix anyway.
SpeakerLayout outputLayoutFor(const SpeakerLayout& device);
// The same into `layout`, which keeps its storage: for the sound thread, which never allocates.
void outputLayoutFor(const SpeakerLayout& device, SpeakerLayout& layout);

// The gain from each file channel to each output channel.
//
// A channel the output has is played there alone, at full level; the output's other channels
// stay silent. Mono plays at full level on both front channels. A channel the output lacks is
// folded into it with the ITU-R BS.775 downmix: centre into both fronts at -3 dB, each surround
// (rear or side) into its side's front at -3 dB, or into the other surround pair of its side at
// full level where the output has that (7.1 into 5.1); rear centre into both surrounds, or both
// fronts, at -3 dB each step. The LFE channel is dropped where the output has none, as the
// downmix leaves it out: it carries bass meant for a subwoofer, 10 dB hotter than the other
// channels, which small front speakers must not be asked to play.
class ChannelRouting {
public:
    ChannelRouting(const SpeakerLayout& file, const SpeakerLayout& output);
    // Routes anew, in the storage the routing has (room for two taps a file channel).
    void route(const SpeakerLayout& file, const SpeakerLayout& output);

    int inputs() const { return m_inputs; }
    int outputs() const { return m_outputs; }
    float gain(int input, int output) const;

    // One non-zero path from a file channel to an output channel.
    struct Tap {
        int input;
        int output;
        float gain;
    };
    const std::vector<Tap>& taps() const { return m_taps; }

private:
    void add(int input, int output, float gain);

    int m_inputs;
    int m_outputs;
    std::vector<Tap> m_taps;
};
