#include "Pack.h"

#include "FlacWriter.h"
#include "Speech.h"

#include <QDir>
#include <algorithm>
#include <cmath>

namespace {

QString hz(double f)
{
    return f >= 1000 ? QString::number(f / 1000) + QStringLiteral(" kHz")
                     : QString::number(f) + QStringLiteral(" Hz");
}

} // namespace

std::vector<PackItem> defaultPack(const QString& speechFolder)
{
    std::vector<PackItem> pack;
    int number = 1;
    const auto add = [&](const QString& title, const QString& description,
                         std::function<Signal()> make) {
        pack.push_back({QStringLiteral("%1 %2").arg(number++, 2, 10, QLatin1Char('0')).arg(title),
                        {title, description},
                        std::move(make)});
    };
    const auto sine = [&](double f) {
        add(QStringLiteral("Sine %1").arg(hz(f)),
            QStringLiteral("Sine tone, %1, -12 dBFS peak, both channels, 10 s").arg(hz(f)),
            [f] { return sineTone(f, 10, -12, Channels::Both); });
    };
    // First what any speaker plays and any ear hears, then the tones most subwoofers
    // reproduce well, so that a first press is never met with silence.
    add(QStringLiteral("Pink noise 500-2000 Hz (speaker level)"),
        QStringLiteral("Pink noise, 500 Hz to 2 kHz, -20 dBFS RMS, both channels, 30 s"),
        [] { return pinkNoise(500, 2000, 30, -20, Channels::Both, 2); });
    for (double f : {40.0, 50.0, 63.0, 80.0})
        sine(f);
    for (double f : {10.0, 12.5, 16.0, 20.0, 25.0, 31.5, 100.0, 125.0, 160.0, 200.0, 250.0})
        sine(f);
    for (auto [from, to] : {std::pair{10.0, 250.0}, std::pair{20.0, 20000.0}})
        add(QStringLiteral("Sweep %1 to %2").arg(hz(from), hz(to)),
            QStringLiteral("Logarithmic sweep, %1 to %2, -12 dBFS peak, 30 s")
                .arg(hz(from), hz(to)),
            [from = from, to = to] { return logSweep(from, to, 30, -12, Channels::Both); });
    add(QStringLiteral("Pink noise 20-80 Hz (subwoofer level)"),
        QStringLiteral("Pink noise, 20 Hz to 80 Hz, -20 dBFS RMS, both channels, 30 s"),
        [] { return pinkNoise(20, 80, 30, -20, Channels::Both, 1); });
    add(QStringLiteral("Left channel only"),
        QStringLiteral("Pink noise, 500 Hz to 2 kHz, -20 dBFS RMS, left channel only, 5 s"),
        [] { return pinkNoise(500, 2000, 5, -20, Channels::Left, 3); });
    add(QStringLiteral("Right channel only"),
        QStringLiteral("Pink noise, 500 Hz to 2 kHz, -20 dBFS RMS, right channel only, 5 s"),
        [] { return pinkNoise(500, 2000, 5, -20, Channels::Right, 4); });
    add(QStringLiteral("Polarity check"),
        QStringLiteral("Asymmetric pulses, 60 Hz half waves, 2 per second, -12 dBFS peak, "
                       "positive edge strongest, 10 s"),
        [] { return polarityPulses(10, -12); });
    // Added later than the rest, so that a test chosen before keeps its place in the list.
    add(QStringLiteral("Phase pair, in phase"),
        QStringLiteral("Pink noise, 40 Hz to 160 Hz, -20 dBFS RMS, both channels in phase, 10 s"),
        [] { return pinkNoise(40, 160, 10, -20, Channels::Both, 5); });
    add(QStringLiteral("Phase pair, out of phase"),
        QStringLiteral("Pink noise, 40 Hz to 160 Hz, -20 dBFS RMS, right channel inverted, 10 s"),
        [] {
            Signal signal = pinkNoise(40, 160, 10, -20, Channels::Both, 5);
            invert(signal, 1);
            return signal;
        });
    for (double f : {30.0, 40.0, 50.0, 63.0, 80.0})
        add(QStringLiteral("LFE only %1").arg(hz(f)),
            QStringLiteral("Sine tone, %1, -12 dBFS peak, LFE channel of 5.1 only, 10 s")
                .arg(hz(f)),
            [f] { return onlyOn(sineTone(f, 10, -12, Channels::Left), 6, kLfeChannel); });
    // Each channel in turn: speech-band noise any speaker plays, low noise on the LFE channel,
    // which a receiver passes only below about 120 Hz.
    const auto burst = [](int c) {
        return c == kLfeChannel ? pinkNoise(30, 80, 1.5, -20, Channels::Left, 10 + c)
                                : pinkNoise(500, 2000, 1.5, -20, Channels::Left, 10 + c);
    };
    const auto inTurn = [burst](int channels) {
        std::vector<Signal> bursts;
        for (int c = 0; c < channels; ++c)
            bursts.push_back(burst(c));
        return eachInTurn(bursts, kFadeSeconds, 0.5);
    };
    add(QStringLiteral("Channel check 5.1"),
        QStringLiteral("Pink noise bursts, 500 Hz to 2 kHz (LFE 30 Hz to 80 Hz), -20 dBFS RMS, "
                       "1.5 s on each channel of 5.1 in turn: FL FR FC LFE RL RR, 12 s"),
        [inTurn] { return inTurn(6); });
    add(QStringLiteral("Channel check 7.1"),
        QStringLiteral("Pink noise bursts, 500 Hz to 2 kHz (LFE 30 Hz to 80 Hz), -20 dBFS RMS, "
                       "1.5 s on each channel of 7.1 in turn: FL FR FC LFE RL RR SL SR, 16 s"),
        [inTurn] { return inTurn(8); });
    // The same bursts, each after its channel's name, so that nobody has to count bursts. The
    // LFE cannot carry speech, so "subwoofer" is said on the front pair: a user without a
    // subwoofer still hears which step plays.
    const auto said = [speechFolder](const QString& phrase) {
        return loadSpeech(QDir(speechFolder).filePath(phrase + ".wav"), -20, kFadeSeconds);
    };
    const auto name = [said](int c) { return said(channelNames()[std::size_t(c)].file); };
    const auto nameOn = [](int c) {
        return c == kLfeChannel ? std::vector<int>{0, 1} : std::vector<int>{c};
    };
    const auto spoken = [name, nameOn, burst](int channels) {
        std::vector<SpokenStep> steps;
        for (int c = 0; c < channels; ++c)
            steps.push_back({name(c), nameOn(c), onlyOn(burst(c), channels, c)});
        return spokenInTurn(steps, channels, kNameSeconds, kFadeSeconds, 0.5);
    };
    add(QStringLiteral("Channel check stereo (spoken)"),
        QStringLiteral("Spoken names and pink noise bursts, 500 Hz to 2 kHz, -20 dBFS RMS: each "
                       "channel of stereo says its name, then sounds 1.5 s: FL FR, 6 s"),
        [spoken] { return spoken(2); });
    add(QStringLiteral("Channel check 5.1 (spoken)"),
        QStringLiteral("Spoken names and pink noise bursts, 500 Hz to 2 kHz (LFE 30 Hz to 80 Hz), "
                       "-20 dBFS RMS: each channel of 5.1 says its name (LFE on the front pair), "
                       "then sounds 1.5 s: FL FR FC LFE RL RR, 18 s"),
        [spoken] { return spoken(6); });
    add(QStringLiteral("Channel check 7.1 (spoken)"),
        QStringLiteral("Spoken names and pink noise bursts, 500 Hz to 2 kHz (LFE 30 Hz to 80 Hz), "
                       "-20 dBFS RMS: each channel of 7.1 says its name (LFE on the front pair), "
                       "then sounds 1.5 s: FL FR FC LFE RL RR SL SR, 24 s"),
        [spoken] { return spoken(8); });

    // Setting up a home theatre, in the order it is done. Levels as receivers' own set-up
    // noise: -20 dBFS RMS after band-limiting, which a meter reads alike on every channel of
    // matched speakers.
    const auto levelMatch = [name, nameOn](int channels) {
        std::vector<SpokenStep> steps;
        for (int c = 0; c < channels; ++c) {
            const bool lfe = c == kLfeChannel;
            const Signal noise = pinkNoise(lfe ? 20 : 500, lfe ? 80 : 2000, 8, -20, Channels::Left,
                                           std::uint64_t(40 + c));
            steps.push_back({name(c), nameOn(c), onlyOn(noise, channels, c)});
        }
        return spokenInTurn(steps, channels, kNameSeconds, kFadeSeconds, 1);
    };
    add(QStringLiteral("Level match stereo (spoken)"),
        QStringLiteral("Spoken names and pink noise, 500 Hz to 2 kHz, -20 dBFS RMS: each channel "
                       "of stereo says its name, then sounds alone 8 s, 1 s apart: FL FR, 20 s"),
        [levelMatch] { return levelMatch(2); });
    add(QStringLiteral("Level match 5.1 (spoken)"),
        QStringLiteral("Spoken names and pink noise, 500 Hz to 2 kHz (LFE 20 Hz to 80 Hz), "
                       "-20 dBFS RMS: each channel of 5.1 says its name (LFE on the front pair), "
                       "then sounds alone 8 s, 1 s apart: FL FR FC LFE RL RR, 60 s"),
        [levelMatch] { return levelMatch(6); });
    add(QStringLiteral("Level match 7.1 (spoken)"),
        QStringLiteral("Spoken names and pink noise, 500 Hz to 2 kHz (LFE 20 Hz to 80 Hz), "
                       "-20 dBFS RMS: each channel of 7.1 says its name (LFE on the front pair), "
                       "then sounds alone 8 s, 1 s apart: FL FR FC LFE RL RR SL SR, 80 s"),
        [levelMatch] { return levelMatch(8); });
    // A sine's peak 3 dB above its RMS.
    const double sineAt20 = -20 + 20 * std::log10(std::sqrt(2.0));
    add(QStringLiteral("Bass management check 5.1 (spoken)"),
        QStringLiteral("Spoken names and sine tone, 40 Hz, -20 dBFS RMS: each main channel of 5.1 "
                       "says its name, then sounds alone 5 s with the LFE silent, 1 s apart: "
                       "FL FR FC RL RR, 35 s"),
        [name, sineAt20] {
            std::vector<SpokenStep> steps;
            for (int c : {0, 1, 2, 4, 5})
                steps.push_back(
                    {name(c), {c}, onlyOn(sineTone(40, 5, sineAt20, Channels::Left), 6, c)});
            return spokenInTurn(steps, 6, kNameSeconds, kFadeSeconds, 1);
        });
    // The cue on the front pair, then the tone on the front pair and the LFE: the louder of the
    // two says which way the subwoofer's phase control goes.
    const auto phase = [said, sineAt20](double f) {
        std::vector<SpokenStep> steps;
        for (int round = 0; round < 3; ++round)
            for (const bool inverted : {false, true}) {
                Signal body = silence(6, 4);
                place(body, sineTone(f, 4, sineAt20, Channels::Left), 0, {0, 1, kLfeChannel});
                if (inverted)
                    invert(body, kLfeChannel);
                steps.push_back(
                    {said(inverted ? "subwoofer-inverted" : "normal"), {0, 1}, std::move(body)});
            }
        return spokenInTurn(steps, 6, 1.5, kFadeSeconds, 0.5);
    };
    for (double f : {80.0, 120.0})
        add(QStringLiteral("Subwoofer phase %1 (spoken)").arg(hz(f)),
            QStringLiteral("Spoken cues and sine tone, %1, -20 dBFS RMS on FL FR and LFE of 5.1 "
                           "together, 4 s after each cue on the front pair: \"normal\", then "
                           "\"subwoofer inverted\" (LFE turned over), three times each, 36 s")
                .arg(hz(f)),
            [phase, f] { return phase(f); });
    // The LFE is left out: a receiver passes nothing of a 1 kHz click to the subwoofer, whose
    // distance the phase test sets.
    add(QStringLiteral("Distance check 5.1 (spoken)"),
        QStringLiteral("Spoken names and clicks, 1 kHz 5-cycle Hann bursts, -12 dBFS peak: for "
                       "each of FR FC RL RR of 5.1, its name on it, then a click on FL, 0.5 s "
                       "later on that channel, 0.5 s later on both, three times 1 s apart, 28 s"),
        [name] {
            Signal click = hannBurst(1000, 5, 0);
            float top = 0;
            for (float v : click.samples)
                top = std::max(top, std::fabs(v));
            for (float& v : click.samples)
                v *= float(dbToAmplitude(-12)) / top;
            std::vector<SpokenStep> steps;
            for (int c : {1, 2, 4, 5}) {
                Signal body = silence(6, 5.5);
                for (int k = 0; k < 3; ++k) {
                    place(body, click, 0.25 + 2.0 * k, {0});
                    place(body, click, 0.75 + 2.0 * k, {c});
                    place(body, click, 1.25 + 2.0 * k, {0, c});
                }
                steps.push_back({name(c), {c}, std::move(body)});
            }
            return spokenInTurn(steps, 6, kNameSeconds, kFadeSeconds, 0.5);
        });
    add(QStringLiteral("Subwoofer bursts 20-63 Hz"),
        QStringLiteral("Tone bursts, 6.5 cycles under a Hann window, -12 dBFS peak, one a second, "
                       "four each at 20, 25, 31.5, 40, 50 and 63 Hz, on FL FR and LFE of 5.1 "
                       "together, 24 s"),
        [] {
            Signal out = silence(6, 24);
            int k = 0;
            for (double f : {20.0, 25.0, 31.5, 40.0, 50.0, 63.0})
                for (int i = 0; i < 4; ++i)
                    place(out, hannBurst(f, 6.5, -12), 0.25 + k++, {0, 1, kLfeChannel});
            return out;
        });
    return pack;
}

void writeSound(const QString& path, const Signal& signal, const Tags& tags)
{
    if (signal.channels > 2)
        writeFlac(path, signal, tags);
    else
        writeMp3(path, signal, tags);
}
