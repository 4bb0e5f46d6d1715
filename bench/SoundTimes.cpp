#include "SoundTimes.h"

#include "Audio.h"

#include <cmath>

namespace SoundTimes {

namespace {

constexpr int kRate = MonitorRecorder::kRate;

// Takes in the recording until the sound played at `until` has arrived; false at `deadline`.
bool heardUntil(MonitorRecorder& monitor, Clock::time_point until, Clock::time_point deadline)
{
    while (monitor.mark() == 0 || monitor.timeOf(monitor.mark() - 1) < until) {
        if (Clock::now() >= deadline)
            return false;
        monitor.wait(2);
    }
    return true;
}

// The first frame from `since` on for which `test` holds, as it arrives; `lookahead` frames
// after it must have arrived for the test.
template <typename Test>
double scan(MonitorRecorder& monitor, Clock::time_point since, double timeout,
            std::size_t lookahead, Test test)
{
    const Clock::time_point deadline = after(Clock::now(), timeout);
    // What had arrived before `since` but was not yet taken in is passed over too.
    std::size_t i = monitor.frameAt(since);
    for (;;) {
        const std::size_t arrived = monitor.mark();
        for (; i + lookahead < arrived; ++i)
            if (monitor.timeOf(i) >= since && test(monitor.left, i))
                return secondsBetween(since, monitor.timeOf(i));
        if (Clock::now() >= deadline)
            return -1;
        monitor.wait(2);
    }
}

} // namespace

Clock::time_point after(Clock::time_point t, double seconds)
{
    return t + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

double onsetAfter(MonitorRecorder& monitor, Clock::time_point since, float threshold,
                  double timeout)
{
    return scan(monitor, since, timeout, 0, [&](const std::vector<float>& x, std::size_t i) {
        return std::fabs(x[i]) > threshold;
    });
}

double levelAbove(MonitorRecorder& monitor, Clock::time_point since, float level, double timeout)
{
    const std::size_t window = kRate / 200;
    const double db = 20 * std::log10(level);
    return scan(monitor, since, timeout, window, [&](const std::vector<float>& x, std::size_t i) {
        return peakDb(x, i, i + window) > db;
    });
}

double frequencyAbove(MonitorRecorder& monitor, Clock::time_point since, double frequency,
                      double timeout)
{
    // From one rising zero crossing to the next: one period.
    std::size_t lastRise = 0;
    return scan(monitor, since, timeout, 0, [&](const std::vector<float>& x, std::size_t i) {
        if (i == 0 || !(x[i - 1] < 0 && x[i] >= 0))
            return false;
        const bool faster =
            lastRise && zeroCrossingFrequency(x, lastRise - 1, i + 1, kRate) > frequency;
        lastRise = i;
        return faster;
    });
}

float peakBefore(MonitorRecorder& monitor, Clock::time_point until, double seconds)
{
    monitor.mark();
    const double db =
        peakDb(monitor.left, monitor.frameAt(after(until, -seconds)), monitor.frameAt(until));
    return float(std::pow(10, db / 20));
}

double longestSilence(MonitorRecorder& monitor, Clock::time_point from, double seconds)
{
    const Clock::time_point to = after(from, seconds);
    if (!heardUntil(monitor, to, after(to, 2)))
        return -1;
    std::size_t longest = 0;
    for (const auto& [start, end] :
         holes(monitor.left, kRate, monitor.frameAt(from), monitor.frameAt(to), 0))
        longest = std::max(longest, end - start);
    return double(longest) / kRate;
}

bool holeAfter(MonitorRecorder& monitor, Clock::time_point from, double seconds)
{
    const Clock::time_point to = after(from, seconds);
    if (!heardUntil(monitor, to, after(to, 2)))
        return true; // a recording cut short is not a sound without holes
    return !holes(monitor.left, kRate, monitor.frameAt(from), monitor.frameAt(to)).empty();
}

double lastSoundAfter(MonitorRecorder& monitor, Clock::time_point since, float threshold,
                      double seconds)
{
    const Clock::time_point to = after(since, seconds);
    if (!heardUntil(monitor, to, after(to, 2)))
        return -1;
    const auto [first, last] =
        soundSpan(monitor.left, threshold, monitor.frameAt(since), monitor.frameAt(to));
    return first < last ? secondsBetween(since, monitor.timeOf(last - 1)) : -1;
}

} // namespace SoundTimes
