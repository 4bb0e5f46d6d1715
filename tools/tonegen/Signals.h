#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kSampleRate = 44100;

enum class Channels { Both, Left, Right };

// Interleaved floats at kSampleRate, stereo unless made otherwise.
struct Signal {
    int channels = 2;
    std::vector<float> samples;
    std::size_t frames() const { return samples.size() / std::size_t(channels); }
};

// A sine tone starting at phase 0 with the given peak level (dBFS).
Signal sineTone(double frequency, double seconds, double peakDb, Channels channels);

// A logarithmic sweep from `from` to `to` Hz, starting at phase 0, with the given peak level.
Signal logSweep(double from, double to, double seconds, double peakDb, Channels channels);

// Pink noise (-3 dB per octave) holding energy only between `low` and `high` Hz, scaled to
// the given RMS level (dBFS, full scale = amplitude 1). Reproducible: fixed seed.
Signal pinkNoise(double low, double high, double seconds, double rmsDb, Channels channels,
                 std::uint64_t seed);

// A train of asymmetric low-frequency pulses, two a second: a strong, short positive half
// wave followed by a weak, long negative one that returns the area to zero.
Signal polarityPulses(double seconds, double peakDb);

// Raised-cosine fade-in and fade-out over `seconds` at both ends.
void applyFades(Signal& signal, double seconds);

// The first channel of `source` on channel `channel` (from 0) of a signal of `channels`
// channels, the others silent.
Signal onlyOn(const Signal& source, int channels, int channel);

// The first channel of each burst on the channel of the same number, one after the other,
// each faded over `fadeSeconds` at both ends and followed by `gapSeconds` of silence.
Signal eachInTurn(const std::vector<Signal>& bursts, double fadeSeconds, double gapSeconds);

// A sine of `cycles` cycles under a Hann window, starting and ending at zero, at the given
// peak level (dBFS) of the formula 0.5 (1 - cos(2 pi f t / cycles)) sin(2 pi f t). Mono.
Signal hannBurst(double frequency, double cycles, double peakDb);

// Adds the first channel of `source` to the channels `on` of `into` from `atSeconds` on; `into`
// must be long enough.
void place(Signal& into, const Signal& source, double atSeconds, const std::vector<int>& on);

// Silence of `channels` channels.
Signal silence(int channels, double seconds);

// One step of a spoken test: a name or cue (mono) said on the channels `nameOn`, then what it
// announces, laid out in the test's channels.
struct SpokenStep {
    Signal name;
    std::vector<int> nameOn;
    Signal body;
};

// The steps one after the other, each in a slot of `nameSeconds`, the body's length and
// `gapSeconds`: the name from the slot's start, the body (faded over `fadeSeconds`) after
// `nameSeconds`, then silence. Fixed slots put every step at a known time whatever the name's
// length. Throws std::runtime_error when a name leaves less than 0.1 s before its body.
Signal spokenInTurn(const std::vector<SpokenStep>& steps, int channels, double nameSeconds,
                    double fadeSeconds, double gapSeconds);

// Turns one channel upside down.
void invert(Signal& signal, int channel);

double dbToAmplitude(double db);
