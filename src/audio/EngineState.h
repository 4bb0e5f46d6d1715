#pragma once

#include "AudioEngine.h"

#include <QString>
#include <atomic>
#include <mutex>

// What the window's thread and the sound thread share. The window's thread posts requests and
// sets the values; the sound thread takes the latest request and reads the values on every
// render pass. Nothing else crosses between them.
class EngineState {
public:
    struct Request {
        enum class Kind { None, Play, Stop } kind = Kind::None;
        QString path;
    };

    // Replaces any request not yet taken: only the latest press counts.
    void post(Request request)
    {
        const std::lock_guard lock(m_mutex);
        m_request = std::move(request);
    }
    // The latest request, or None; it is taken only once.
    Request take()
    {
        Request request;
        const std::lock_guard lock(m_mutex);
        std::swap(request, m_request);
        return request;
    }

    // Linear gain for a volume of 0..100: (volume / 100)^2.
    static float gainFor(int volume);

    std::atomic<float> gain{gainFor(Playback::kDefaultVolume)};
    std::atomic<double> rate{Playback::kNormalRate};
    std::atomic<bool> loop{false};
    // Set by the sound thread while a file is being played.
    std::atomic<bool> playing{false};

private:
    std::mutex m_mutex;
    Request m_request;
};

inline float EngineState::gainFor(int volume)
{
    const float v = float(volume < 0                      ? 0
                          : volume > Playback::kMaxVolume ? Playback::kMaxVolume
                                                          : volume) /
                    float(Playback::kMaxVolume);
    return v * v;
}
