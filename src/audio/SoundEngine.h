#pragma once

#include "AudioEngine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

class EngineStateMachine;
class PulseOutput;
class SteadyEngineClock;

// The sound engine's front: files decoded with libsndfile, played on a stream at the sound
// server. Every call returns at once. The caller's thread posts requests; each press opens its
// file on a thread of its own, and each file is decoded ahead on another (see FileReader), so
// an open or a read that hangs holds up no other sound; the sound thread (real-time where
// allowed) runs the engine's state machine on the requests and on what the output reports, and
// writes when the server asks for sound.
//
// Volume curve: gain = (volume / 100)^2, so 100 is full scale, 50 is -12 dB, 10 is -40 dB
// and 0 is silence. Gain changes ramp over 10 ms; starts, stops and switches fade over 5 ms.
class SoundEngine : public AudioEngine {
public:
    // `warm`: how long the output keeps running after the last sound, so that the next press
    // in a row is heard at once; after it the output is corked and nothing runs.
    explicit SoundEngine(std::chrono::milliseconds warm = std::chrono::seconds(3));
    ~SoundEngine() override;

    void play(const QString& path) override;
    void stop() override;
    void setLooping(bool loop) override;
    void setVolume(int volume) override;
    void setRate(double rate) override;

    // Fades out what plays and returns once the fade has been played: for the end of the
    // process, which would otherwise cut the sound. Waits at most exitWait() (75 ms at the
    // usual queue, 90 ms at most), whatever the server does.
    void finish();
    std::chrono::milliseconds exitWait() const;

    // True while a file is being played (for diagnostics and tests).
    bool isPlaying() const { return m_playing; }
    // How many times the sound has been rendered: it stands still while nothing plays.
    std::uint64_t renderPasses() const { return m_renderPasses; }
    // Times the stream ran dry while a sound played, and of those the times the engine
    // answered the server's request for sound late (a hole of its own).
    std::uint64_t underflows() const { return m_underflows; }
    std::uint64_t lateUnderflows() const { return m_lateUnderflows; }

    // Linear gain for a volume of 0..100.
    static float gainFor(int volume);

private:
    // Requests and output events on their way to the sound thread, in order; shared with the
    // threads that open files, which may outlive the engine.
    struct Mailbox;
    struct Command;
    void runSoundThread();
    void handle(Command& command);
    void publish();

    std::shared_ptr<Mailbox> m_mailbox;
    std::atomic<std::uint64_t> m_generation{0}; // of the latest press or stop
    std::atomic<bool> m_playing{false};
    std::atomic<std::uint64_t> m_renderPasses{0};
    std::atomic<std::uint64_t> m_underflows{0};
    std::atomic<std::uint64_t> m_lateUnderflows{0};
    std::atomic<std::int64_t> m_queueUs{0};

    class PostedEvents;
    std::unique_ptr<PostedEvents> m_events;
    std::unique_ptr<SteadyEngineClock> m_clock;
    std::unique_ptr<PulseOutput> m_output;
    std::unique_ptr<EngineStateMachine> m_machine; // the sound thread's alone
    std::thread m_soundThread;
};
