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

// One step of a spoken channel check: a name (mono) said on the channels `nameOn`, then the
// first channel of `burst` on channel `channel`.
struct SpokenStep {
    Signal name;
    std::vector<int> nameOn;
    Signal burst;
    int channel = 0;
};

// The steps one after the other, each in a slot of `nameSeconds`, the burst's length and
// `gapSeconds`: the name from the slot's start, the burst (faded over `fadeSeconds`) after
// `nameSeconds`, then silence. Fixed slots put every step at a known time whatever the name's
// length. Throws std::runtime_error when a name leaves less than 0.1 s before its burst.
Signal spokenInTurn(const std::vector<SpokenStep>& steps, int channels, double nameSeconds,
                    double fadeSeconds, double gapSeconds);

// Turns one channel upside down.
void invert(Signal& signal, int channel);

double dbToAmplitude(double db);
