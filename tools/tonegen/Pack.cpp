#include "Pack.h"

#include "FlacWriter.h"
#include "Speech.h"

#include <QDir>

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
    const auto spoken = [speechFolder, burst](int channels) {
        std::vector<SpokenStep> steps;
        for (int c = 0; c < channels; ++c) {
            const QString file = channelNames()[std::size_t(c)].file + ".wav";
            steps.push_back({loadSpeech(QDir(speechFolder).filePath(file), -20, kFadeSeconds),
                             c == kLfeChannel ? std::vector<int>{0, 1} : std::vector<int>{c},
                             burst(c), c});
        }
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
    return pack;
}

void writeSound(const QString& path, const Signal& signal, const Tags& tags)
{
    if (signal.channels > 2)
        writeFlac(path, signal, tags);
    else
        writeMp3(path, signal, tags);
}
