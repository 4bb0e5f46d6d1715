#include "SoundEngine.h"

#include "EngineStateMachine.h"
#include "FileReader.h"
#include "PulseOutput.h"
#include "RealtimeThread.h"
#include "Voice.h"

#include <QFileInfo>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

namespace {

void complain(const std::string& what)
{
    std::fprintf(stderr, "orvo-peln-tandrick: %s\n", what.c_str());
}

// What the exit waits for beyond what the stream and the device hold: the fade, and the
// server's step. And never longer than this, whatever the queue has grown to.
constexpr std::chrono::milliseconds kExitFadeAndStep{15};
constexpr std::chrono::milliseconds kLongestExitWait{90};

} // namespace

struct SoundEngine::Command {
    enum class Kind {
        Play,
        Stop,
        Gain,
        Rate,
        Loop,
        Finish,
        Connected,
        Ready,
        WantsData,
        Underflow,
        Moved,
        Lost,
        DeviceChanged,
        Quit
    } kind;
    std::unique_ptr<Voice> voice = {};
    double value = 0;
    std::uint64_t generation = 0;
    std::string title = {};
};

struct SoundEngine::Mailbox {
    void post(Command command)
    {
        {
            const std::lock_guard lock(mutex);
            commands.push_back(std::move(command));
        }
        wake.notify_one();
    }

    std::mutex mutex; // guards the commands and the exit flag
    std::condition_variable wake;
    std::deque<Command> commands;
    bool exitDone = false;
    std::condition_variable exited;
};

// Passes the output's events, from libpulse's thread, to the sound thread.
class SoundEngine::PostedEvents final : public OutputEvents {
public:
    explicit PostedEvents(SoundEngine& engine) : m_engine(engine) {}
    void outputConnected() override { post(Command::Kind::Connected); }
    void outputReady() override { post(Command::Kind::Ready); }
    void outputWantsData() override { post(Command::Kind::WantsData); }
    void outputUnderflow(bool late) override
    {
        m_engine.m_mailbox->post({Command::Kind::Underflow, {}, late ? 1.0 : 0.0});
    }
    void outputMoved() override { post(Command::Kind::Moved); }
    void outputLost() override { post(Command::Kind::Lost); }
    void outputDeviceChanged() override { post(Command::Kind::DeviceChanged); }

private:
    void post(Command::Kind kind) { m_engine.m_mailbox->post({kind}); }
    SoundEngine& m_engine;
};

SoundEngine::SoundEngine(std::chrono::milliseconds warm)
    : m_mailbox(std::make_shared<Mailbox>()), m_events(std::make_unique<PostedEvents>(*this)),
      m_clock(std::make_unique<SteadyEngineClock>()),
      m_output(std::make_unique<PulseOutput>(*m_events))
{
    EngineStateMachine::Timing timing;
    timing.warm = warm;
    m_machine = std::make_unique<EngineStateMachine>(*m_output, *m_clock, timing,
                                                     gainFor(Playback::kDefaultVolume), complain);
    m_queueUs = m_machine->queue().count();
    m_soundThread = std::thread(&SoundEngine::runSoundThread, this);
}

SoundEngine::~SoundEngine()
{
    m_mailbox->post({Command::Kind::Quit});
    m_soundThread.join();
    // The output goes before the machine that it reports to (members go in reverse order).
    m_output.reset();
}

float SoundEngine::gainFor(int volume)
{
    const float v = float(std::clamp(volume, 0, Playback::kMaxVolume)) / Playback::kMaxVolume;
    return v * v;
}

// The file is opened on a thread of its own, at an ordinary priority: an open that hangs (a
// stalled disk or network folder) holds up nothing else. A later press or stop makes it void.
void SoundEngine::play(const QString& path)
{
    std::thread([mailbox = m_mailbox, path, generation = ++m_generation] {
        try {
            auto reader = std::make_shared<FileReader>(path);
            auto voice = std::make_unique<Voice>(reader);
            reader->readAhead();
            // Named as the list shows the test: its file's name without the extension.
            mailbox->post({Command::Kind::Play, std::move(voice), 0, generation,
                           QFileInfo(path).completeBaseName().toStdString()});
        } catch (const std::exception& e) {
            complain("cannot play " + path.toStdString() + ": " + e.what());
            // As any press, it ends what played.
            mailbox->post({Command::Kind::Stop, {}, 0, generation});
        }
    }).detach();
}

void SoundEngine::stop()
{
    m_mailbox->post({Command::Kind::Stop, {}, 0, ++m_generation});
}

void SoundEngine::setLooping(bool loop)
{
    m_mailbox->post({Command::Kind::Loop, {}, loop ? 1.0 : 0.0});
}

void SoundEngine::setVolume(int volume)
{
    m_mailbox->post({Command::Kind::Gain, {}, gainFor(volume)});
}

void SoundEngine::setRate(double rate)
{
    m_mailbox->post({Command::Kind::Rate, {}, rate});
}

std::chrono::milliseconds SoundEngine::exitWait() const
{
    // The queue, and about half of it again in the device (see PulseOutput::queuedFrames).
    const auto held =
        std::chrono::ceil<std::chrono::milliseconds>(std::chrono::microseconds(m_queueUs * 3 / 2));
    return std::min(held + kExitFadeAndStep, kLongestExitWait);
}

void SoundEngine::finish()
{
    const auto until = std::chrono::steady_clock::now() + exitWait();
    m_mailbox->post({Command::Kind::Finish});
    std::unique_lock lock(m_mailbox->mutex);
    m_mailbox->exited.wait_until(lock, until, [this] { return m_mailbox->exitDone; });
}

void SoundEngine::runSoundThread()
{
    runThisThreadAheadOfOrdinaryWork();
    Mailbox& mailbox = *m_mailbox;
    std::unique_lock lock(mailbox.mutex);
    for (;;) {
        if (mailbox.commands.empty()) {
            if (const auto deadline = m_machine->deadline())
                mailbox.wake.wait_until(lock, *deadline);
            else
                mailbox.wake.wait(lock);
            if (mailbox.commands.empty()) {
                lock.unlock();
                m_machine->onClock();
                publish();
                lock.lock();
            }
            continue;
        }
        Command command = std::move(mailbox.commands.front());
        mailbox.commands.pop_front();
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
            machine.play(std::move(command.voice), command.title);
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
        machine.outputUnderflow(command.value != 0);
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
    m_lateUnderflows = m_machine->lateUnderflows();
    m_queueUs = m_machine->queue().count();
    if (m_machine->exitDone()) {
        {
            const std::lock_guard lock(m_mailbox->mutex);
            m_mailbox->exitDone = true;
        }
        m_mailbox->exited.notify_all();
    }
}
