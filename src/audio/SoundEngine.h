#pragma once

#include "AudioEngine.h"
#include "EngineState.h"

#include <QString>
#include <chrono>
#include <memory>

class QThread;
class SoundWorker;

// The sound engine: files decoded with libsndfile, played on a stream at the sound server
// from a thread of its own, so the window's thread never holds up the sound. Every call
// returns at once.
//
// Volume curve: gain = (volume / 100)^2, so 100 is full scale, 50 is -12 dB, 10 is -40 dB
// and 0 is silence. Gain changes ramp over 10 ms; starts, stops and switches fade over 5 ms.
class SoundEngine : public AudioEngine {
public:
    // `warm`: how long the output keeps running after the last sound, so that the next press
    // in a row is heard at once; after it the output is stopped and nothing runs.
    explicit SoundEngine(std::chrono::milliseconds warm = std::chrono::seconds(3));
    ~SoundEngine() override;

    void play(const QString& path) override;
    void stop() override;
    void setLooping(bool loop) override;
    void setVolume(int volume) override;
    void setRate(double rate) override;

    // Ends the sound with the usual short fade and returns once the fade has been played
    // (within about 50 ms): for the end of the process, which would otherwise cut the sound.
    void finish();

    // True while a file is being played (for diagnostics and tests).
    bool isPlaying() const;
    // How many times the sound has been rendered: it stands still while nothing plays.
    quint64 renderPasses() const;

    // Linear gain for a volume of 0..100.
    static float gainFor(int volume);

private:
    void wake();

    EngineState m_state;
    std::unique_ptr<QThread> m_thread;
    SoundWorker* m_worker = nullptr;
};
