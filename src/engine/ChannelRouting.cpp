#include "ChannelRouting.h"

#include <algorithm>

namespace {

constexpr float kMinus3dB = 0.70710678f;

using enum Speaker;

struct Target {
    Speaker speaker;
    float gain;
};
using Fold = std::vector<Target>;

// Where a file channel goes when the output lacks its speaker, best first; a fold is used only
// if the output has all of its speakers.
const std::vector<Fold>& foldsFor(Speaker s)
{
    static const std::vector<Fold> none;
    static const std::vector<Fold> mono = {{{FrontLeft, 1.0f}, {FrontRight, 1.0f}}};
    static const std::vector<Fold> centre = {{{FrontLeft, kMinus3dB}, {FrontRight, kMinus3dB}}};
    static const std::vector<Fold> rearLeft = {{{SideLeft, 1.0f}}, {{FrontLeft, kMinus3dB}}};
    static const std::vector<Fold> rearRight = {{{SideRight, 1.0f}}, {{FrontRight, kMinus3dB}}};
    static const std::vector<Fold> sideLeft = {{{RearLeft, 1.0f}}, {{FrontLeft, kMinus3dB}}};
    static const std::vector<Fold> sideRight = {{{RearRight, 1.0f}}, {{FrontRight, kMinus3dB}}};
    static const std::vector<Fold> rearCentre = {{{RearLeft, kMinus3dB}, {RearRight, kMinus3dB}},
                                                 {{SideLeft, kMinus3dB}, {SideRight, kMinus3dB}},
                                                 {{FrontLeft, 0.5f}, {FrontRight, 0.5f}}};
    switch (s) {
    case Mono:
        return mono;
    case FrontCentre:
        return centre;
    case RearLeft:
        return rearLeft;
    case RearRight:
        return rearRight;
    case SideLeft:
        return sideLeft;
    case SideRight:
        return sideRight;
    case RearCentre:
        return rearCentre;
    default:
        return none;
    }
}

int indexOf(const SpeakerLayout& layout, Speaker s)
{
    const auto at = std::find(layout.begin(), layout.end(), s);
    return at == layout.end() ? -1 : int(at - layout.begin());
}

} // namespace

SpeakerLayout standardLayout(int channels)
{
    static const SpeakerLayout orders[] = {
        {Mono},
        {FrontLeft, FrontRight},
        {FrontLeft, FrontRight, FrontCentre},
        {FrontLeft, FrontRight, RearLeft, RearRight},
        {FrontLeft, FrontRight, FrontCentre, RearLeft, RearRight},
        {FrontLeft, FrontRight, FrontCentre, Lfe, RearLeft, RearRight},
        {FrontLeft, FrontRight, FrontCentre, Lfe, RearCentre, SideLeft, SideRight},
        {FrontLeft, FrontRight, FrontCentre, Lfe, RearLeft, RearRight, SideLeft, SideRight}};
    if (channels < 1)
        return {};
    SpeakerLayout layout = orders[std::min(channels, 8) - 1];
    layout.resize(std::size_t(channels), Other);
    return layout;
}

SpeakerLayout vorbisLayout(int channels)
{
    static const SpeakerLayout orders[] = {
        {Mono},
        {FrontLeft, FrontRight},
        {FrontLeft, FrontCentre, FrontRight},
        {FrontLeft, FrontRight, RearLeft, RearRight},
        {FrontLeft, FrontCentre, FrontRight, RearLeft, RearRight},
        {FrontLeft, FrontCentre, FrontRight, RearLeft, RearRight, Lfe},
        {FrontLeft, FrontCentre, FrontRight, SideLeft, SideRight, RearCentre, Lfe},
        {FrontLeft, FrontCentre, FrontRight, SideLeft, SideRight, RearLeft, RearRight, Lfe}};
    if (channels < 1)
        return {};
    SpeakerLayout layout = orders[std::min(channels, 8) - 1];
    layout.resize(std::size_t(channels), Other);
    return layout;
}

SpeakerLayout outputLayoutFor(const SpeakerLayout& device)
{
    SpeakerLayout layout;
    outputLayoutFor(device, layout);
    return layout;
}

void outputLayoutFor(const SpeakerLayout& device, SpeakerLayout& layout)
{
    if (indexOf(device, FrontLeft) < 0 || indexOf(device, FrontRight) < 0)
        layout.assign({FrontLeft, FrontRight});
    else
        layout.assign(device.begin(), device.end());
}

ChannelRouting::ChannelRouting(const SpeakerLayout& file, const SpeakerLayout& output)
{
    m_taps.reserve(2 * file.size());
    route(file, output);
}

void ChannelRouting::route(const SpeakerLayout& file, const SpeakerLayout& output)
{
    m_inputs = int(file.size());
    m_outputs = int(output.size());
    m_taps.clear();
    for (int input = 0; input < m_inputs; ++input) {
        const Speaker s = file[std::size_t(input)];
        if (s == Other)
            continue;
        if (const int direct = indexOf(output, s); direct >= 0 && s != Mono) {
            add(input, direct, 1.0f);
            continue;
        }
        for (const Fold& fold : foldsFor(s)) {
            const bool usable = std::all_of(fold.begin(), fold.end(), [&](const Target& t) {
                return indexOf(output, t.speaker) >= 0;
            });
            if (!usable)
                continue;
            for (const Target& t : fold)
                add(input, indexOf(output, t.speaker), t.gain);
            break;
        }
    }
}

void ChannelRouting::add(int input, int output, float gain)
{
    m_taps.push_back({input, output, gain});
}

float ChannelRouting::gain(int input, int output) const
{
    float sum = 0.0f;
    for (const Tap& t : m_taps)
        if (t.input == input && t.output == output)
            sum += t.gain;
    return sum;
}
