#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kSampleRate = 44100;

enum class Channels { Both, Left, Right };

// Interleaved stereo floats at kSampleRate.
struct Stereo {
    std::vector<float> samples;
    std::size_t frames() const { return samples.size() / 2; }
};

// A sine tone starting at phase 0 with the given peak level (dBFS).
Stereo sineTone(double frequency, double seconds, double peakDb, Channels channels);

// A logarithmic sweep from `from` to `to` Hz, starting at phase 0, with the given peak level.
Stereo logSweep(double from, double to, double seconds, double peakDb, Channels channels);

// Pink noise (-3 dB per octave) holding energy only between `low` and `high` Hz, scaled to
// the given RMS level (dBFS, full scale = amplitude 1). Reproducible: fixed seed.
Stereo pinkNoise(double low, double high, double seconds, double rmsDb, Channels channels,
                 std::uint64_t seed);

// A train of asymmetric low-frequency pulses, two a second: a strong, short positive half
// wave followed by a weak, long negative one that returns the area to zero.
Stereo polarityPulses(double seconds, double peakDb);

// Raised-cosine fade-in and fade-out over `seconds` at both ends.
void applyFades(Stereo& signal, double seconds);

double dbToAmplitude(double db);
