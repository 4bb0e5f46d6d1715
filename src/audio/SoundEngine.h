#pragma once

#include "AudioEngine.h"
#include "EngineState.h"

#include <QString>
#include <memory>

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
    void wake();

    EngineState m_state;
    std::unique_ptr<QThread> m_thread;
    SoundWorker* m_worker = nullptr;
};
