#include "Audio.h"

#include "Fft.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <sndfile.h>

Decoded decodeFile(const QString& path)
{
    Decoded out;
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return out;
    out.rate = info.samplerate;
    out.channels.resize(std::size_t(info.channels));
    std::vector<float> buffer(4096 * std::size_t(info.channels));
    sf_count_t got;
    while ((got = sf_readf_float(file, buffer.data(), 4096)) > 0) {
        for (sf_count_t i = 0; i < got; ++i) {
            out.left.push_back(buffer[std::size_t(i) * info.channels]);
            out.right.push_back(
                buffer[std::size_t(i) * info.channels + (info.channels > 1 ? 1 : 0)]);
            for (std::size_t c = 0; c < out.channels.size(); ++c)
                out.channels[c].push_back(buffer[std::size_t(i) * info.channels + c]);
        }
    }
    sf_close(file);
    return out;
}

std::vector<float> sine(double frequency, double seconds, double peak, int rate, double phase)
{
    std::vector<float> x(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = float(peak * std::sin(2 * M_PI * frequency * double(i) / rate + phase));
    return x;
}

bool writeSound(const QString& path, int rate, const std::vector<std::vector<float>>& channels,
                int format, const std::vector<int>& layout)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = int(channels.size());
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    double quality = 1.0;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    std::vector<int> map = layout;
    if (!map.empty() && sf_command(file, SFC_SET_CHANNEL_MAP_INFO, map.data(),
                                   int(map.size() * sizeof(int))) != SF_TRUE) {
        sf_close(file);
        return false;
    }
    std::vector<float> frames;
    frames.reserve(channels[0].size() * channels.size());
    for (std::size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& c : channels)
            frames.push_back(c[i]);
    const auto count = sf_count_t(channels[0].size());
    const bool written = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && written;
}

QString makeTone(const QString& tonegen, const QString& path, const QStringList& args)
{
    QProcess p;
    p.start(tonegen, args + QStringList{"--output", path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0
               ? path
               : QString();
}

std::pair<std::size_t, std::size_t> soundSpan(const std::vector<float>& x, float silence,
                                              std::size_t from, std::size_t to)
{
    std::size_t first = x.size(), last = 0;
    for (std::size_t i = from; i < std::min(to, x.size()); ++i)
        if (std::fabs(x[i]) > silence) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, last};
}

double naturalStep(double frequency, double peak, int rate, double slack)
{
    return 2 * M_PI * frequency / rate * peak * slack + 4.0 / 32768;
}

double zeroCrossingFrequency(const std::vector<float>& x, std::size_t from, std::size_t to,
                             int rate)
{
    to = std::min(to, x.size());
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = double(i - 1) + double(-x[i - 1]) / double(x[i] - x[i - 1]);
            if (first < 0)
                first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / (last - first);
}

double peakDb(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    to = std::min(to, x.size());
    float peak = 0;
    for (std::size_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return 20 * std::log10(std::max(double(peak), 1e-12));
}

double rmsDb(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    to = std::min(to, x.size());
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(x[i]) * x[i];
    return 10 * std::log10(std::max(sum / double(std::max<std::size_t>(to - from, 1)), 1e-24));
}

double correlation(const std::vector<float>& x, const std::vector<float>& y, std::size_t from,
                   std::size_t to)
{
    to = std::min({to, x.size(), y.size()});
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = from; i < to; ++i) {
        xy += double(x[i]) * y[i];
        xx += double(x[i]) * x[i];
        yy += double(y[i]) * y[i];
    }
    return xy / std::sqrt(xx * yy);
}

double energyShareInBand(const std::vector<float>& x, int rate, double low, double high)
{
    std::vector<std::complex<double>> spectrum(nextPowerOfTwo(x.size()));
    std::copy(x.begin(), x.end(), spectrum.begin());
    fft(spectrum);
    double inside = 0, total = 0;
    for (std::size_t bin = 1; bin < spectrum.size() / 2; ++bin) {
        const double f = double(bin) * rate / double(spectrum.size());
        const double energy = std::norm(spectrum[bin]);
        total += energy;
        if (f >= low && f <= high)
            inside += energy;
    }
    return total > 0 ? inside / total : 0;
}

double largestStep(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    to = std::min(to, x.size());
    double step = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        step = std::max(step, double(std::fabs(x[i] - x[i - 1])));
    return step;
}

Holes holes(const std::vector<float>& x, int rate, std::size_t from, std::size_t to,
            double shortest)
{
    const std::size_t least = std::max<std::size_t>(1, std::size_t(shortest * rate));
    Holes found;
    to = std::min(to, x.size());
    std::size_t run = 0;
    for (std::size_t i = from; i <= to; ++i) {
        if (i < to && std::fabs(x[i]) < 0.01f) {
            ++run;
            continue;
        }
        if (run >= least)
            found.emplace_back(i - run, i);
        run = 0;
    }
    return found;
}

double largestStepOutsideHoles(const std::vector<float>& x, int rate, float silence)
{
    const auto [first, last] = soundSpan(x, silence);
    if (first >= last)
        return largestStep(x, 0, x.size());
    double step = 0;
    std::size_t from = 0;
    for (const auto& [start, end] : holes(x, rate, first, last)) {
        if (start == first || end == last)
            continue; // quiet at an edge of the sound, not inside it
        step = std::max(step, largestStep(x, from, start - 1));
        from = end + 1;
    }
    return std::max(step, largestStep(x, from, x.size()));
}

bool holesAreNotOurs(const std::vector<float>& x, int rate, std::size_t from, std::size_t to,
                     unsigned long long underflows, unsigned long long late)
{
    const Holes found = holes(x, rate, from, to);
    if (found.empty())
        return true;
    qWarning("%zu hole(s) inside the sound, the first %zu frames long at %zu; the player's "
             "stream ran dry %llu time(s), %llu of them answering the server late",
             found.size(), found[0].second - found[0].first, found[0].first, underflows, late);
    return late == 0;
}

std::size_t largestStepAt(const std::vector<float>& x)
{
    std::size_t at = 0;
    float step = 0;
    for (std::size_t i = 1; i < x.size(); ++i)
        if (std::fabs(x[i] - x[i - 1]) > step) {
            step = std::fabs(x[i] - x[i - 1]);
            at = i;
        }
    return at;
}

std::size_t firstSound(const std::vector<std::vector<float>>& channels, double db)
{
    const std::size_t window = 44100 / 100;
    for (std::size_t from = 0; from + window <= channels[0].size(); from += window / 2)
        for (const auto& c : channels)
            if (rmsDb(c, from, from + window) > db)
                return from;
    return SIZE_MAX;
}

QString levels(const std::vector<std::vector<float>>& channels, std::size_t from, std::size_t to)
{
    QStringList out;
    for (const auto& c : channels)
        out << QString::number(rmsDb(c, from, to), 'f', 1);
    return out.join(' ');
}
