#pragma once

#include "AudioEngine.h"

#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

class EngineStateMachine;
class PulseOutput;
class SteadyEngineClock;

// The sound engine's front: files decoded with libsndfile, played on a stream at the sound
// server. Every call returns at once. It connects as it is made, and opens a stream, corked,
// for the first press. The window's thread posts requests through a fixed queue; each press
// opens its file on a thread of its own, and each file is decoded ahead on another (see
// FileReader), so an open or a read that hangs holds up no other sound; the sound thread
// (real-time where allowed) runs the engine's state machine on the requests and on what the
// output reports, and writes when the server asks for sound. The sound thread's own work never
// allocates, frees or writes to a file, and it takes no lock but libpulse's, which its calls
// into libpulse need (the window's thread takes it for a press's stream name and a report's
// reason): the output's events reach it as flags and counters with one wake, the voices it is
// done with come back to the window's thread to be freed, and its reports are printed there
// (on standard error).
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
    // process, which would otherwise cut the sound. Waits at most exitWait(), whatever the
    // server does.
    void finish();
    // What the server holds, as its timing said at the last write, and the fade: 90 ms at most.
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
    // What the sound thread shares with the others; the threads that open files may outlive
    // the engine.
    struct Shared;
    struct Command;
    class Events;
    class Bin;
    void post(Command&& command);
    void runSoundThread();
    void handle(Command& command);
    void handleEvents();
    void handleUnderflows();
    void publish();
    void collectSoon();
    // On the window's thread: frees the voices the sound thread is done with and prints its
    // reports; runs while a sound plays.
    void collect();

    std::shared_ptr<Shared> m_shared;
    std::atomic<std::uint64_t> m_generation{0}; // of the latest press or stop
    double m_rate = 1;                          // as last set, on the window's thread
    std::atomic<bool> m_playing{false};
    std::atomic<std::uint64_t> m_renderPasses{0};
    std::atomic<std::uint64_t> m_underflows{0};
    std::atomic<std::uint64_t> m_lateUnderflows{0};
    std::atomic<std::int64_t> m_heldUs{0};
    std::atomic<unsigned> m_reports{0}; // a bit for each report waiting to be printed
    std::uint32_t m_underflowsSeen = 0, m_lateSeen = 0;
    std::chrono::steady_clock::time_point m_lastRequest;

    std::unique_ptr<Events> m_events;
    std::unique_ptr<Bin> m_bin;
    std::unique_ptr<SteadyEngineClock> m_clock;
    std::unique_ptr<PulseOutput> m_output;
    std::unique_ptr<EngineStateMachine> m_machine; // the sound thread's alone
    QTimer m_collector;
    std::thread m_soundThread;
};
