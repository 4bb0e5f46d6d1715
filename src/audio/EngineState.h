#pragma once

#include "AudioEngine.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <utility>

// What the window's thread and the sound thread share. The window's thread posts requests and
// sets the values; the sound thread takes the latest request and reads the values on every
// render pass. Nothing else crosses between them.
class EngineState {
public:
    struct Request {
        enum class Kind { None, Play, Stop } kind = Kind::None;
        QString path;
    };

    // Only the latest request counts; taking it leaves None.
    void post(Request r)
    {
        const std::lock_guard lock(m_mutex);
        m_request = std::move(r);
    }
    Request take()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_request, {});
    }

    std::atomic<float> gain{0.0f}; // set by the engine before its thread starts
    std::atomic<double> rate{Playback::kNormalRate};
    std::atomic<bool> loop{false};
    // Set by the sound thread while a file is being played.
    std::atomic<bool> playing{false};
    std::atomic<quint64> renderPasses{0};

private:
    std::mutex m_mutex;
    Request m_request;
};
