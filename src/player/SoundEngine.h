#pragma once

#include "player/AudioEngine.h"

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

class QThread;
class SoundWorker;

// The sound engine: files decoded with libsndfile, played through a QAudioSink in push mode
// from a thread of its own, so the window's thread never holds up the sound. Every call
// returns at once.
//
// Volume curve: gain = (volume / 100)^2, so 100 is full scale, 50 is -12 dB, 10 is -40 dB
// and 0 is silence. Gain changes ramp over 10 ms; starts, stops and switches fade over 5 ms.
class SoundEngine : public AudioEngine {
public:
    SoundEngine();
    ~SoundEngine() override;

    void play(const QString& path) override;
    void stop() override;
    void setLooping(bool loop) override;
    void setVolume(int volume) override;
    void setRate(double rate) override;

    // True while a file is being played (for diagnostics and tests).
    bool isPlaying() const;

    // Linear gain for a volume of 0..100.
    static float gainFor(int volume);

    static constexpr int kOutputRate = 44100;

private:
    friend class SoundWorker;
    struct Request {
        enum class Kind { None, Play, Stop } kind = Kind::None;
        QString path;
    };

    void wake();

    std::mutex m_mutex;
    Request m_request; // the latest play or stop not yet taken by the worker
    std::atomic<float> m_gain;
    std::atomic<double> m_rate{1.0};
    std::atomic<bool> m_loop{false};
    std::atomic<bool> m_playing{false};
    std::unique_ptr<QThread> m_thread;
    SoundWorker* m_worker = nullptr;
};
