#include "SoundEngine.h"

#include "EngineStateMachine.h"
#include "FileReader.h"
#include "PulseOutput.h"
#include "RealtimeThread.h"
#include "Voice.h"

#include <algorithm>
#include <cstdio>

namespace {

void complain(const std::string& what)
{
    std::fprintf(stderr, "orvo-peln-tandrick: %s\n", what.c_str());
}

// What the exit waits for beyond the queue: the fade, and the server's step.
constexpr std::chrono::milliseconds kExitFadeAndStep{20};

} // namespace

struct SoundEngine::LoadRequest {
    QString path;
    std::uint64_t generation;
};

// Passes the output's events, from libpulse's thread, to the sound thread.
class SoundEngine::PostedEvents final : public OutputEvents {
public:
    explicit PostedEvents(SoundEngine& engine) : m_engine(engine) {}
    void outputConnected() override { m_engine.post({Command::Kind::Connected}); }
    void outputReady() override { m_engine.post({Command::Kind::Ready}); }
    void outputWantsData() override { m_engine.post({Command::Kind::WantsData}); }
    void outputUnderflow() override { m_engine.post({Command::Kind::Underflow}); }
    void outputMoved() override { m_engine.post({Command::Kind::Moved}); }
    void outputLost() override { m_engine.post({Command::Kind::Lost}); }
    void outputDeviceChanged() override { m_engine.post({Command::Kind::DeviceChanged}); }

private:
    SoundEngine& m_engine;
};

SoundEngine::SoundEngine(std::chrono::milliseconds warm)
    : m_events(std::make_unique<PostedEvents>(*this)),
      m_clock(std::make_unique<SteadyEngineClock>()),
      m_output(std::make_unique<PulseOutput>(*m_events))
{
    EngineStateMachine::Timing timing;
    timing.warm = warm;
    m_machine = std::make_unique<EngineStateMachine>(*m_output, *m_clock, timing,
                                                     gainFor(Playback::kDefaultVolume), complain);
    m_queueUs = m_machine->queue().count();
    m_soundThread = std::thread(&SoundEngine::runSoundThread, this);
    m_loader = std::thread(&SoundEngine::runLoader, this);
}

SoundEngine::~SoundEngine()
{
    {
        const std::lock_guard lock(m_loadMutex);
        m_quitLoader = true;
    }
    m_loadWake.notify_one();
    m_loader.join();
    post({Command::Kind::Quit});
    m_soundThread.join();
    // The output goes before the machine that it reports to (members go in reverse order).
    m_output.reset();
}

float SoundEngine::gainFor(int volume)
{
    const float v = float(std::clamp(volume, 0, Playback::kMaxVolume)) / Playback::kMaxVolume;
    return v * v;
}

void SoundEngine::post(Command command)
{
    {
        const std::lock_guard lock(m_mutex);
        m_commands.push_back(std::move(command));
    }
    m_wake.notify_one();
}

void SoundEngine::play(const QString& path)
{
    {
        const std::lock_guard lock(m_loadMutex);
        m_load = std::make_unique<LoadRequest>(LoadRequest{path, ++m_generation});
    }
    m_loadWake.notify_one();
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
    post({Command::Kind::Rate, {}, rate});
}

std::chrono::milliseconds SoundEngine::exitWait() const
{
    return std::chrono::ceil<std::chrono::milliseconds>(std::chrono::microseconds(m_queueUs)) +
           kExitFadeAndStep;
}

void SoundEngine::finish()
{
    const auto until = std::chrono::steady_clock::now() + exitWait();
    post({Command::Kind::Finish});
    std::unique_lock lock(m_mutex);
    m_exited.wait_until(lock, until, [this] { return m_exitDone; });
}

// Opens the files pressed for, at an ordinary priority: an open that hangs (a stalled disk or
// network folder) holds up only the presses after it, never the sound that plays. Only the
// latest press counts.
void SoundEngine::runLoader()
{
    std::unique_lock lock(m_loadMutex);
    for (;;) {
        m_loadWake.wait(lock, [this] { return m_quitLoader || m_load; });
        if (m_quitLoader)
            return;
        const LoadRequest request = *std::exchange(m_load, nullptr);
        lock.unlock();
        try {
            auto reader = std::make_shared<FileReader>(request.path);
            auto voice = std::make_unique<Voice>(reader);
            reader->readAhead();
            post({Command::Kind::Play, std::move(voice), 0, request.generation});
        } catch (const std::exception& e) {
            complain("cannot play " + request.path.toStdString() + ": " + e.what());
            // As any press, it ends what played.
            post({Command::Kind::Stop, {}, 0, request.generation});
        }
        lock.lock();
    }
}

void SoundEngine::runSoundThread()
{
    runThisThreadAheadOfOrdinaryWork();
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_commands.empty()) {
            if (const auto deadline = m_machine->deadline())
                m_wake.wait_until(lock, *deadline);
            else
                m_wake.wait(lock);
            if (m_commands.empty()) {
                lock.unlock();
                m_machine->onClock();
                publish();
                lock.lock();
            }
            continue;
        }
        Command command = std::move(m_commands.front());
        m_commands.pop_front();
        if (command.kind == Command::Kind::Quit)
            return;
        lock.unlock();
        handle(command);
        publish();
        lock.lock();
    }
}

void SoundEngine::handle(Command& command)
{
    EngineStateMachine& machine = *m_machine;
    switch (command.kind) {
    case Command::Kind::Play:
        // A later press or stop has made this one void.
        if (command.generation == m_generation)
            machine.play(std::move(command.voice));
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
    case Command::Kind::Connected:
        machine.outputConnected();
        return;
    case Command::Kind::Ready:
        machine.outputReady();
        return;
    case Command::Kind::WantsData:
        machine.outputWantsData();
        return;
    case Command::Kind::Underflow:
        machine.outputUnderflow();
        return;
    case Command::Kind::Moved:
        machine.outputMoved();
        return;
    case Command::Kind::Lost:
        machine.outputLost();
        return;
    case Command::Kind::DeviceChanged:
        machine.outputDeviceChanged();
        return;
    case Command::Kind::Quit:
        return;
    }
}

// What the other threads may read of the machine.
void SoundEngine::publish()
{
    m_playing = m_machine->playing();
    m_renderPasses = m_machine->renderPasses();
    m_underflows = m_machine->underflows();
    m_queueUs = m_machine->queue().count();
    if (m_machine->exitDone()) {
        {
            const std::lock_guard lock(m_mutex);
            m_exitDone = true;
        }
        m_exited.notify_all();
    }
}
