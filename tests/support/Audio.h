#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
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

// A sine from `phase`, `seconds` long at `rate`, peaking at `peak`.
std::vector<float> sine(double frequency, double seconds, double peak, int rate, double phase = 0);
// Writes `channels` (of one length) as libsndfile's `format` at `rate`, declaring `layout`
// (libsndfile's channel map) where one is given; false when it cannot.
bool writeSound(const QString& path, int rate, const std::vector<std::vector<float>>& channels,
                int format, const std::vector<int>& layout = {});
// Makes a sound with the pack's tone generator at `path`: `path`, or empty when it failed.
QString makeTone(const QString& tonegen, const QString& path, const QStringList& args);

// The first and one past the last sample of [from, to) louder than `silence`; (size, 0) when
// none is.
std::pair<std::size_t, std::size_t> soundSpan(const std::vector<float>& x, float silence = 0.0f,
                                              std::size_t from = 0, std::size_t to = SIZE_MAX);
// The steepest step a sine of `frequency` and `peak` takes at `rate`, times `slack` for what
// the path adds (a little for rounding written sample-exact, a quarter through a server's
// resampler), plus four 16-bit steps.
double naturalStep(double frequency, double peak, int rate, double slack);

// Frequency of a clean tone from its rising zero crossings (linear interpolation).
double zeroCrossingFrequency(const std::vector<float>& x, std::size_t from, std::size_t to,
                             int rate);

double peakDb(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX);
double rmsDb(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX);

// How alike two channels move over [from, to): 1 the same, -1 turned over, 0 unrelated.
double correlation(const std::vector<float>& x, const std::vector<float>& y, std::size_t from = 0,
                   std::size_t to = SIZE_MAX);

// Share of the signal's energy between low and high Hz.
double energyShareInBand(const std::vector<float>& x, int rate, double low, double high);

// Largest sample-to-sample step in [from, to).
double largestStep(const std::vector<float>& x, std::size_t from, std::size_t to);

// Holes in a sound: runs of `shortest` seconds or more near zero in [from, to), as
// [start, end). (The duck that hides a change of the rate's path stays under 2 ms.)
using Holes = std::vector<std::pair<std::size_t, std::size_t>>;
Holes holes(const std::vector<float>& x, int rate, std::size_t from = 0, std::size_t to = SIZE_MAX,
            double shortest = 0.002);

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
