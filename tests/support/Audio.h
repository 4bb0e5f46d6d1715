#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Decoded sound for measurements: the first two channels (the first twice for mono), and every
// channel.
struct Decoded {
    int rate = 0;
    std::vector<float> left, right;
    std::vector<std::vector<float>> channels;
    std::size_t frames() const { return left.size(); }
};

// Decodes a file with libsndfile, as the player does. Empty on failure.
Decoded decodeFile(const QString& path);

// Frequency of a clean tone from its rising zero crossings (linear interpolation).
double zeroCrossingFrequency(const std::vector<float>& x, std::size_t from, std::size_t to,
                             int rate);

double peakDb(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX);
double rmsDb(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX);

// Share of the signal's energy between low and high Hz.
double energyShareInBand(const std::vector<float>& x, int rate, double low, double high);

// Largest sample-to-sample step in [from, to).
double largestStep(const std::vector<float>& x, std::size_t from, std::size_t to);

// Holes in a sound: runs of 2 ms or more near zero in [from, to), as [start, end). (The duck
// that hides a change of the rate's path stays under that.)
using Holes = std::vector<std::pair<std::size_t, std::size_t>>;
Holes holes(const std::vector<float>& x, int rate, std::size_t from = 0, std::size_t to = SIZE_MAX);

// The largest sample-to-sample step of a recording, passing over the edges of the holes
// inside its sound (from its first to its last sample louder than `silence`): a click. The
// start and the end of the sound are always checked. What a hole does is judged on its own.
double largestStepOutsideHoles(const std::vector<float>& x, int rate, float silence = 0.003f);
// Where that step is.
std::size_t largestStepAt(const std::vector<float>& x);

// A hole inside a sound is the player's when its stream ran dry with a request for sound
// answered late (`late` > 0): false. Otherwise the server (asking too late) or the recorder
// dropped a block: said, with the count of times the stream ran dry, and true.
bool holesAreNotOurs(const std::vector<float>& x, int rate, std::size_t from, std::size_t to,
                     unsigned long long underflows, unsigned long long late);

// The first frame where any channel is louder than `db` over 10 ms, at 44.1 kHz; SIZE_MAX when
// none is.
std::size_t firstSound(const std::vector<std::vector<float>>& channels, double db);
// Each channel's RMS level over [from, to), in dB, for failure messages.
QString levels(const std::vector<std::vector<float>>& channels, std::size_t from, std::size_t to);
