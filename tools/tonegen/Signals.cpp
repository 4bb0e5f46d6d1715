#include "Signals.h"

#include "Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>

namespace {

constexpr double kTwoPi = 2.0 * M_PI;

std::size_t framesFor(double seconds)
{
    return std::size_t(std::llround(seconds * kSampleRate));
}

Signal fromMono(const std::vector<double>& mono, Channels channels)
{
    Signal out;
    out.samples.resize(mono.size() * 2, 0.0f);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        if (channels != Channels::Right)
            out.samples[2 * i] = float(mono[i]);
        if (channels != Channels::Left)
            out.samples[2 * i + 1] = float(mono[i]);
    }
    return out;
}

// A small, fully specified generator so the output is the same with every C++ library.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t m_state;
};

} // namespace

double dbToAmplitude(double db)
{
    return std::pow(10.0, db / 20.0);
}

Signal sineTone(double frequency, double seconds, double peakDb, Channels channels)
{
    const double amplitude = dbToAmplitude(peakDb);
    std::vector<double> mono(framesFor(seconds));
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = amplitude * std::sin(kTwoPi * frequency * double(i) / kSampleRate);
    return fromMono(mono, channels);
}

Signal logSweep(double from, double to, double seconds, double peakDb, Channels channels)
{
    const double amplitude = dbToAmplitude(peakDb);
    const double k = std::log(to / from);
    std::vector<double> mono(framesFor(seconds));
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double t = double(i) / kSampleRate;
        const double phase = kTwoPi * from * seconds / k * (std::exp(t / seconds * k) - 1.0);
        mono[i] = amplitude * std::sin(phase);
    }
    return fromMono(mono, channels);
}

Signal pinkNoise(double low, double high, double seconds, double rmsDb, Channels channels,
                 std::uint64_t seed)
{
    const std::size_t frames = framesFor(seconds);
    const std::size_t size = nextPowerOfTwo(frames);
    SplitMix64 random(seed);
    // Shape the spectrum directly: amplitude 1/sqrt(f) inside the band, random phases.
    std::vector<std::complex<double>> spectrum(size);
    for (std::size_t bin = 1; bin < size / 2; ++bin) {
        const double f = double(bin) * kSampleRate / double(size);
        const double phase = kTwoPi * random.uniform();
        if (f < low || f > high)
            continue;
        spectrum[bin] = std::polar(1.0 / std::sqrt(f), phase);
        spectrum[size - bin] = std::conj(spectrum[bin]);
    }
    fft(spectrum, true);
    std::vector<double> mono(frames);
    double sumSquares = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        mono[i] = spectrum[i].real();
        sumSquares += mono[i] * mono[i];
    }
    const double scale = dbToAmplitude(rmsDb) / std::sqrt(sumSquares / double(frames));
    for (double& value : mono)
        value *= scale;
    return fromMono(mono, channels);
}

Signal polarityPulses(double seconds, double peakDb)
{
    const double amplitude = dbToAmplitude(peakDb);
    const std::size_t period = kSampleRate / 2;
    const std::size_t positive = kSampleRate / 120; // half a wave of 60 Hz
    const std::size_t negative = positive * 4;      // a quarter as strong, four times as long
    std::vector<double> mono(framesFor(seconds));
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const std::size_t at = i % period;
        if (at < positive)
            mono[i] = amplitude * std::sin(M_PI * double(at) / double(positive));
        else if (at < positive + negative)
            mono[i] = -0.25 * amplitude * std::sin(M_PI * double(at - positive) / double(negative));
    }
    return fromMono(mono, Channels::Both);
}

void applyFades(Signal& signal, double seconds)
{
    const std::size_t frames = signal.frames();
    const std::size_t ramp = std::min(framesFor(seconds), frames / 2);
    for (std::size_t i = 0; i < ramp; ++i) {
        const float gain = float(0.5 - 0.5 * std::cos(M_PI * double(i) / double(ramp)));
        const std::size_t n = std::size_t(signal.channels);
        for (std::size_t c = 0; c < n; ++c) {
            signal.samples[n * i + c] *= gain;
            signal.samples[n * (frames - 1 - i) + c] *= gain;
        }
    }
}

Signal onlyOn(const Signal& source, int channels, int channel)
{
    Signal out{channels, std::vector<float>(source.frames() * std::size_t(channels), 0.0f)};
    for (std::size_t i = 0; i < source.frames(); ++i)
        out.samples[i * std::size_t(channels) + std::size_t(channel)] =
            source.samples[i * std::size_t(source.channels)];
    return out;
}

Signal eachInTurn(const std::vector<Signal>& bursts, double fadeSeconds, double gapSeconds)
{
    const int channels = int(bursts.size());
    Signal out{channels, {}};
    for (int c = 0; c < channels; ++c) {
        Signal burst = onlyOn(bursts[std::size_t(c)], channels, c);
        applyFades(burst, fadeSeconds);
        out.samples.insert(out.samples.end(), burst.samples.begin(), burst.samples.end());
        out.samples.resize(out.samples.size() + framesFor(gapSeconds) * std::size_t(channels));
    }
    return out;
}

Signal spokenInTurn(const std::vector<SpokenStep>& steps, int channels, double nameSeconds,
                    double fadeSeconds, double gapSeconds)
{
    const std::size_t n = std::size_t(channels);
    const std::size_t nameFrames = framesFor(nameSeconds);
    Signal out{channels, {}};
    for (const SpokenStep& step : steps) {
        if (step.name.frames() + framesFor(0.1) > nameFrames)
            throw std::runtime_error("a spoken name is too long for its place before the body");
        const std::size_t at = out.frames();
        Signal burst = step.body;
        applyFades(burst, fadeSeconds);
        out.samples.resize((at + nameFrames + burst.frames() + framesFor(gapSeconds)) * n);
        for (std::size_t i = 0; i < step.name.frames(); ++i)
            for (int c : step.nameOn)
                out.samples[(at + i) * n + std::size_t(c)] =
                    step.name.samples[i * std::size_t(step.name.channels)];
        std::copy(burst.samples.begin(), burst.samples.end(),
                  out.samples.begin() + long((at + nameFrames) * n));
    }
    return out;
}

Signal hannBurst(double frequency, double cycles, double peakDb)
{
    const double amplitude = dbToAmplitude(peakDb);
    const std::size_t frames = framesFor(cycles / frequency);
    Signal out{1, std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        const double phase = kTwoPi * frequency * double(i) / kSampleRate;
        out.samples[i] = float(amplitude * 0.5 * (1 - std::cos(phase / cycles)) * std::sin(phase));
    }
    return out;
}

void place(Signal& into, const Signal& source, double atSeconds, const std::vector<int>& on)
{
    const std::size_t at = framesFor(atSeconds), n = std::size_t(into.channels);
    for (std::size_t i = 0; i < source.frames(); ++i)
        for (int c : on)
            into.samples[(at + i) * n + std::size_t(c)] +=
                source.samples[i * std::size_t(source.channels)];
}

Signal silence(int channels, double seconds)
{
    return {channels, std::vector<float>(framesFor(seconds) * std::size_t(channels))};
}

void invert(Signal& signal, int channel)
{
    for (std::size_t i = 0; i < signal.frames(); ++i)
        signal.samples[i * std::size_t(signal.channels) + std::size_t(channel)] *= -1.0f;
}
