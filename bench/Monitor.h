#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

// Records a PulseAudio sink's monitor on a thread of its own, stamping every chunk with the
// monotonic clock at its arrival, so that sound can be placed on the same clock as the
// events that caused it.
class Monitor {
public:
    explicit Monitor(const std::string& source);
    ~Monitor();

    static constexpr int kRate = 44100;

    // Time of the first sample after `since` whose magnitude exceeds `threshold`; waits up to
    // `timeout` seconds. Negative when none came.
    double onsetAfter(Clock::time_point since, float threshold, double timeout);
    // Time of the first moment after `since` at which the 5 ms peak exceeds `level`.
    double levelAbove(Clock::time_point since, float level, double timeout);
    // Time of the first period after `since` shorter than 1/`frequency`.
    double frequencyAbove(Clock::time_point since, double frequency, double timeout);
    // Peak over the `seconds` before `until`.
    float peakBefore(Clock::time_point until, double seconds);
    // Longest run of near-silence (seconds) in [from, from + seconds].
    double longestSilence(Clock::time_point from, double seconds);
    // Time after `since` of the last sample louder than `threshold` in the `seconds` after it.
    double lastSoundAfter(Clock::time_point since, float threshold, double seconds);

    static double secondsBetween(Clock::time_point a, Clock::time_point b)
    {
        return std::chrono::duration<double>(b - a).count();
    }

private:
    struct Sample {
        Clock::time_point time;
        float value;
    };
    void run();
    template <typename Test> double scan(Clock::time_point since, double timeout, Test test);
    // The samples from `from` to `from + seconds`, once they have arrived.
    template <typename Visit> void visit(Clock::time_point from, double seconds, Visit each);

    std::string m_source;
    std::mutex m_mutex;
    std::vector<Sample> m_samples; // left channel
    bool m_stop = false;
    std::thread m_thread;
};
