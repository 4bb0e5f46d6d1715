#include "Monitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <pulse/simple.h>
#include <stdexcept>

Monitor::Monitor(const std::string& source) : m_source(source), m_thread([this] { run(); }) {}

Monitor::~Monitor()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
}

void Monitor::run()
{
    pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 2};
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = 128 * 4; // about 3 ms a chunk
    int error = 0;
    pa_simple* pa = pa_simple_new(nullptr, "optbench", PA_STREAM_RECORD, m_source.c_str(),
                                  "monitor", &format, nullptr, &attr, &error);
    if (!pa) {
        std::fprintf(stderr, "optbench: cannot record %s\n", m_source.c_str());
        return;
    }
    int16_t chunk[128 * 2];
    for (;;) {
        if (pa_simple_read(pa, chunk, sizeof chunk, &error) < 0)
            break;
        const Clock::time_point arrived = Clock::now();
        std::lock_guard lock(m_mutex);
        if (m_stop)
            break;
        for (int i = 0; i < 128; ++i) {
            const auto back = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(double(127 - i) / kRate));
            m_samples.push_back({arrived - back, float(chunk[2 * i]) / 32768.0f});
        }
    }
    pa_simple_free(pa);
}

template <typename Test> double Monitor::scan(Clock::time_point since, double timeout, Test test)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(timeout));
    std::size_t from = 0;
    while (Clock::now() < deadline) {
        {
            std::lock_guard lock(m_mutex);
            for (std::size_t i = from; i < m_samples.size(); ++i) {
                if (m_samples[i].time < since)
                    continue;
                if (test(i))
                    return secondsBetween(since, m_samples[i].time);
            }
            from = m_samples.size() > 256 ? m_samples.size() - 256 : 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
}

double Monitor::onsetAfter(Clock::time_point since, float threshold, double timeout)
{
    return scan(since, timeout,
                [&](std::size_t i) { return std::fabs(m_samples[i].value) > threshold; });
}

double Monitor::levelAbove(Clock::time_point since, float level, double timeout)
{
    const std::size_t window = kRate / 200;
    return scan(since, timeout, [&](std::size_t i) {
        if (i + window > m_samples.size())
            return false;
        float peak = 0;
        for (std::size_t j = i; j < i + window; ++j)
            peak = std::max(peak, std::fabs(m_samples[j].value));
        return peak > level;
    });
}

double Monitor::frequencyAbove(Clock::time_point since, double frequency, double timeout)
{
    std::size_t lastRise = 0;
    return scan(since, timeout, [&](std::size_t i) {
        if (i == 0 || !(m_samples[i - 1].value < 0 && m_samples[i].value >= 0))
            return false;
        const bool faster = lastRise && double(i - lastRise) < kRate / frequency;
        lastRise = i;
        return faster;
    });
}

float Monitor::peakBefore(Clock::time_point until, double seconds)
{
    std::lock_guard lock(m_mutex);
    const auto from =
        until - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    float peak = 0;
    for (const Sample& s : m_samples)
        if (s.time >= from && s.time < until)
            peak = std::max(peak, std::fabs(s.value));
    return peak;
}

template <typename Visit> void Monitor::visit(Clock::time_point from, double seconds, Visit each)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds + 0.3));
    std::lock_guard lock(m_mutex);
    const auto to =
        from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto at = std::lower_bound(m_samples.begin(), m_samples.end(), from,
                               [](const Sample& s, Clock::time_point t) { return s.time < t; });
    for (; at != m_samples.end() && at->time <= to; ++at)
        each(*at);
}

double Monitor::longestSilence(Clock::time_point from, double seconds)
{
    std::size_t run = 0, longest = 0;
    visit(from, seconds, [&](const Sample& s) {
        run = std::fabs(s.value) < 0.01f ? run + 1 : 0;
        longest = std::max(longest, run);
    });
    return double(longest) / kRate;
}

double Monitor::lastSoundAfter(Clock::time_point since, float threshold, double seconds)
{
    double last = -1;
    visit(since, seconds, [&](const Sample& s) {
        if (std::fabs(s.value) > threshold)
            last = secondsBetween(since, s.time);
    });
    return last;
}
