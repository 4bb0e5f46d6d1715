#pragma once

#include <QString>
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
