#include "SoundEngine.h"

#include "EngineStateMachine.h"
#include "FileReader.h"
#include "PulseOutput.h"
#include "RealtimeThread.h"
#include "SpscRing.h"
#include "Voice.h"
#include "VoiceBin.h"
#include "Wake.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <mutex>

namespace {

void complain(const std::string& what)
{
    std::fprintf(stderr, "orvo-peln-tandrick: %s\n", what.c_str());
}

// What the exit waits for beyond what the server holds: the fade, and the server's step. And
// never longer than the longest queue and the device's share of it: where the fade cannot be
// written over the queue (nothing kept of a wide layout at a high rate, or no timing yet) it
// plays behind the whole queue, and a shorter wait would cut it. The wait ends as the fade has
// been heard.
constexpr std::chrono::milliseconds kExitFadeAndStep{15};
constexpr std::chrono::milliseconds kLongestExitWait{300};
// How often the window's thread collects while a sound plays, and how long after a request.
constexpr std::chrono::milliseconds kCollectEvery{100};
constexpr std::chrono::seconds kCollectAfter{5};

// The output's events, as bits.
enum Event : unsigned { Connected = 1, Ready = 2, WantsData = 4, Moved = 8, Lost = 16 };

} // namespace

struct SoundEngine::Command {
    enum class Kind { None, Prepare, Play, Stop, Gain, Rate, Loop, Finish, Quit } kind = Kind::None;
    std::unique_ptr<Voice> voice = {};
    double value = 0;
    std::uint64_t generation = 0;
};

struct SoundEngine::Shared {
    void rouse() { wake.notify(); }
    // From any thread but the sound thread; waits only while the queue is full.
    void post(Command&& command)
    {
        {
            std::unique_lock lock(posting);
            while (!commands.push(std::move(command))) {
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                lock.lock();
            }
        }
        rouse();
    }

    std::mutex posting; // among the threads that post; the sound thread never takes it
    SpscRing<Command, 64> commands;
    Wake wake; // the sound thread's
    std::atomic<unsigned> events{0};
    std::atomic<std::uint32_t> underflows{0}, lateUnderflows{0};
    SpscRing<std::unique_ptr<Voice>, 64> bin; // to the window's thread, to be freed
    std::atomic<bool> exitDone{false};
    Wake exited; // the window's thread's, at the exit
};

// The output's events, from libpulse's thread, as flags and counters for the sound thread.
class SoundEngine::Events final : public OutputEvents {
public:
    explicit Events(Shared& shared) : m_shared(shared) {}
    void outputConnected() override { set(Connected); }
    void outputReady() override { set(Ready); }
    void outputWantsData() override { set(WantsData); }
    void outputUnderflow(bool late) override
    {
        (late ? m_shared.lateUnderflows : m_shared.underflows)
            .fetch_add(1, std::memory_order_release);
        m_shared.rouse();
    }
    void outputMoved() override { set(Moved); }
    void outputLost() override { set(Lost); }

private:
    void set(unsigned event)
    {
        m_shared.events.fetch_or(event, std::memory_order_release);
        m_shared.rouse();
    }
    Shared& m_shared;
};

class SoundEngine::Bin final : public VoiceBin {
public:
    explicit Bin(Shared& shared) : m_shared(shared) {}
    void discard(std::unique_ptr<Voice> voice) override
    {
        // Freed here only when the window's thread has let 63 voices wait.
        m_shared.bin.push(std::move(voice));
    }

private:
    Shared& m_shared;
};

SoundEngine::SoundEngine(std::chrono::milliseconds warm)
    : m_shared(std::make_shared<Shared>()), m_events(std::make_unique<Events>(*m_shared)),
      m_bin(std::make_unique<Bin>(*m_shared)), m_clock(std::make_unique<SteadyEngineClock>()),
      m_output(std::make_unique<PulseOutput>(*m_events))
{
    // Each press makes and frees a reader and a voice of some hundreds of KiB, on threads of
    // their own: from the system's pages each time, given back when freed, and in one heap,
    // so that a session of presses leaves the program no larger.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    mallopt(M_ARENA_MAX, 1);
    EngineStateMachine::Timing timing;
    timing.warm = warm;
    m_machine = std::make_unique<EngineStateMachine>(
        *m_output, *m_clock, timing, gainFor(Playback::kDefaultVolume), *m_bin,
        [this](EngineStateMachine::Report report) {
            m_reports.fetch_or(1u << unsigned(report), std::memory_order_release);
        });
    m_collector.setInterval(kCollectEvery);
    QObject::connect(&m_collector, &QTimer::timeout, [this] { collect(); });
    m_soundThread = std::thread(&SoundEngine::runSoundThread, this);
    // The first press finds the server connected and a stream waiting.
    post({Command::Kind::Prepare});
}

SoundEngine::~SoundEngine()
{
    post({Command::Kind::Quit});
    m_soundThread.join();
    // Reports are read with the output that gave them; no event after the output; the
    // machine's voices go to the bin, emptied last.
    collect();
    m_output.reset();
    m_machine.reset();
    while (m_shared->bin.pop()) {
    }
}

float SoundEngine::gainFor(int volume)
{
    const float v = float(std::clamp(volume, 0, Playback::kMaxVolume)) / Playback::kMaxVolume;
    return v * v;
}

void SoundEngine::post(Command&& command)
{
    m_shared->post(std::move(command));
    collectSoon();
}

void SoundEngine::collectSoon()
{
    m_lastRequest = std::chrono::steady_clock::now();
    if (!m_collector.isActive())
        m_collector.start();
}

// The file is opened on a thread of its own, at an ordinary priority: an open that hangs (a
// stalled disk or network folder) holds up nothing else. A later press or stop makes it void.
void SoundEngine::play(const QString& path)
{
    // Named as the list shows the test: its file's name without the extension.
    m_output->setStreamName(QFileInfo(path).completeBaseName().toStdString());
    collectSoon();
    std::thread([shared = m_shared, path, generation = ++m_generation, rate = m_rate] {
        try {
            auto reader = std::make_shared<FileReader>(path);
            auto voice = std::make_unique<Voice>(reader);
            reader->readAhead(rate);
            shared->post({Command::Kind::Play, std::move(voice), 0, generation});
        } catch (const std::exception& e) {
            complain("cannot play " + path.toStdString() + ": " + e.what());
            // As any press, it ends what played.
            shared->post({Command::Kind::Stop, {}, 0, generation});
        }
    }).detach();
}

void SoundEngine::stop()
{
    post({Command::Kind::Stop, {}, 0, ++m_generation});
}

void SoundEngine::setLooping(bool loop)
{
    post({Command::Kind::Loop, {}, loop ? 1.0 : 0.0});
}

void SoundEngine::setVolume(int volume)
{
    post({Command::Kind::Gain, {}, gainFor(volume)});
}

void SoundEngine::setRate(double rate)
{
    m_rate = rate;
    post({Command::Kind::Rate, {}, rate});
}

std::chrono::milliseconds SoundEngine::exitWait() const
{
    const auto held =
        std::chrono::ceil<std::chrono::milliseconds>(std::chrono::microseconds(m_heldUs.load()));
    return std::min(held + kExitFadeAndStep, kLongestExitWait);
}

void SoundEngine::finish()
{
    const auto until = std::chrono::steady_clock::now() + exitWait();
    const auto armed = m_shared->exited.arm();
    // A file still opening is not played at the end.
    ++m_generation;
    m_shared->post({Command::Kind::Finish});
    if (!m_shared->exitDone)
        m_shared->exited.wait(armed, until);
    collect();
}

void SoundEngine::collect()
{
    while (m_shared->bin.pop()) {
    }
    const unsigned reports = m_reports.exchange(0, std::memory_order_acquire);
    for (unsigned r = 0; r < 8 * sizeof reports; ++r)
        if (reports & (1u << r))
            complain(EngineStateMachine::describe(EngineStateMachine::Report(r), *m_output));
    // On while a sound plays, and for a while after the last request: a file may take a
    // while to open, and the sound's end is reported after it.
    if (!m_playing && std::chrono::steady_clock::now() > m_lastRequest + kCollectAfter)
        m_collector.stop();
}

void SoundEngine::runSoundThread()
{
    runThisThreadAheadOfOrdinaryWork();
    Shared& shared = *m_shared;
    for (;;) {
        const auto armed = shared.wake.arm();
        // The stream's underflows so far belong to what played before the requests now
        // waiting: the end of a sound runs dry on purpose, and is not held against the next.
        handleUnderflows();
        while (auto command = shared.commands.pop()) {
            if (command->kind == Command::Kind::Quit)
                return;
            handle(*command);
        }
        handleEvents();
        m_machine->onClock();
        publish();
        shared.wake.wait(armed, m_machine->deadline());
    }
}

void SoundEngine::handle(Command& command)
{
    EngineStateMachine& machine = *m_machine;
    switch (command.kind) {
    case Command::Kind::Prepare:
        machine.prepare();
        return;
    case Command::Kind::Play:
        // A later press or stop has made this one void.
        if (command.generation == m_generation)
            machine.play(std::move(command.voice));
        else
            m_bin->discard(std::move(command.voice));
        return;
    case Command::Kind::Stop:
        if (command.generation == m_generation)
            machine.stop();
        return;
    case Command::Kind::Gain:
        machine.setGain(float(command.value));
        return;
    case Command::Kind::Rate:
        machine.setRate(command.value);
        return;
    case Command::Kind::Loop:
        machine.setLooping(command.value != 0);
        return;
    case Command::Kind::Finish:
        machine.finish();
        return;
    case Command::Kind::None:
    case Command::Kind::Quit:
        return;
    }
}

void SoundEngine::handleEvents()
{
    EngineStateMachine& machine = *m_machine;
    const unsigned events = m_shared->events.exchange(0, std::memory_order_acquire);
    // Underflows first: one of a stream replaced since is not held against the new one.
    handleUnderflows();
    if (events & Connected)
        machine.outputConnected();
    if (events & Ready)
        machine.outputReady();
    if (events & Moved)
        machine.outputMoved();
    if (events & WantsData)
        machine.outputWantsData();
    if (events & Lost)
        machine.outputLost();
}

void SoundEngine::handleUnderflows()
{
    for (const bool late : {false, true}) {
        std::uint32_t& seen = late ? m_lateSeen : m_underflowsSeen;
        const std::uint32_t now = (late ? m_shared->lateUnderflows : m_shared->underflows)
                                      .load(std::memory_order_acquire);
        for (; seen != now; ++seen)
            m_machine->outputUnderflow(late);
    }
}

// What the other threads may read of the machine.
void SoundEngine::publish()
{
    m_playing = m_machine->playing();
    m_renderPasses = m_machine->renderPasses();
    m_underflows = m_machine->underflows();
    m_lateUnderflows = m_machine->lateUnderflows();
    m_heldUs = m_machine->heldBack().count();
    if (m_machine->exitDone() && !m_shared->exitDone.exchange(true))
        m_shared->exited.notify();
}
