#pragma once

#include <QStringList>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct pa_simple;

// The channels of the rig's null sinks ("opt_sink", "opt_51", "opt_71"), as the server names
// them, in their order.
inline const QStringList kStereoChannels{"front-left", "front-right"};
inline const QStringList k51Channels{"front-left", "front-right", "front-center",
                                     "lfe",        "rear-left",   "rear-right"};
inline const QStringList k71Channels = k51Channels + QStringList{"side-left", "side-right"};

// Records what the private sound server's null sink plays, from its monitor, as floats at
// 44.1 kHz, on a thread of its own that stamps each block with the monotonic clock as it
// arrives: sound can be measured as samples and placed on the clock of the events that caused
// it. The recording is taken in by `mark()` and `wait()`, on the caller's thread.
class MonitorRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kRate = 44100;

    // False when no private sound server is configured (OPT_PULSE_SINK unset).
    static bool available();

    // Blocks of 20 ms, as the rigs' own recorders take: a recorder asks the server for its
    // block's latency, and the null sink then runs at the shortest latency asked of it (10 ms,
    // the player's, under 20 ms blocks; 3 ms under 3 ms blocks, where the server here took
    // the player's writes over its queue too late now and then).
    static constexpr std::size_t kBlockFrames = kRate / 50;

    // Records the default null sink's front pair, or the named sink with its channels in the
    // order given by their server names ("front-left,lfe,...").
    MonitorRecorder();
    MonitorRecorder(const QString& sink, const QStringList& positions,
                    std::size_t blockFrames = kBlockFrames);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    // The number of frames recorded so far: a mark in the recording for "now".
    std::size_t mark();
    // Waits (running the event loop) and collects what arrived.
    void wait(int milliseconds);

    // When a frame taken in was played, as near as its block's arrival tells.
    Clock::time_point timeOf(std::size_t frame) const;
    // The first frame taken in that was played at `t` or later; the count taken in when none.
    std::size_t frameAt(Clock::time_point t) const;

    std::vector<std::vector<float>> channels;
    std::vector<float>& left;
    std::vector<float>& right;

private:
    void record();
    void collect();

    const std::size_t m_blockFrames;
    pa_simple* m_stream = nullptr;
    std::mutex m_mutex;
    bool m_stop = false;
    std::vector<qint16> m_pending;                                     // interleaved
    std::vector<std::pair<std::size_t, Clock::time_point>> m_arrivals; // pending blocks' ends
    // Every block taken in: one past its last frame, and when it arrived.
    std::vector<std::pair<std::size_t, Clock::time_point>> m_blocks;
    std::thread m_thread;
};
