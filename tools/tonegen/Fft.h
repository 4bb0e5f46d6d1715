#pragma once

#include <complex>
#include <vector>

// In-place radix-2 FFT; the size must be a power of two. `inverse` also divides by the size.
void fft(std::vector<std::complex<double>>& data, bool inverse = false);

// The smallest power of two that is at least n.
std::size_t nextPowerOfTwo(std::size_t n);
