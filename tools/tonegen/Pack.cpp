#include "Pack.h"

namespace {

QString hz(double f)
{
    return f >= 1000 ? QString::number(f / 1000) + QStringLiteral(" kHz")
                     : QString::number(f) + QStringLiteral(" Hz");
}

} // namespace

std::vector<PackItem> defaultPack()
{
    std::vector<PackItem> pack;
    int number = 1;
    const auto add = [&](const QString& title, const QString& description,
                         std::function<Stereo()> make) {
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
            [from, to] { return logSweep(from, to, 30, -12, Channels::Both); });
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
    return pack;
}
