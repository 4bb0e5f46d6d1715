#include "EngineStateMachine.h"

#include "Voice.h"
#include "VoiceBin.h"

#include <algorithm>
#include <utility>

namespace {

// Room for what the output reports of a device, made before the sound thread needs it.
void makeRoom(OutputDevice& device)
{
    device.name.reserve(256);
    device.speakers.reserve(Mixer::kMaxChannels);
    device.positions.reserve(Mixer::kMaxChannels);
}

// Frames written at once: the rest of a longer request follows in the same pass.
constexpr std::size_t kWriteFrames = 8192;
constexpr std::size_t kWriteChannels = 8;

} // namespace

EngineStateMachine::EngineStateMachine(AudioOutput& output, const EngineClock& clock, Timing timing,
                                       float gain, VoiceBin& bin, Complaint complain)
    : m_out(output), m_clock(clock), m_timing(timing), m_bin(bin), m_complain(std::move(complain)),
      m_mixer(gain, bin), m_queue(timing.minQueue)
{
    for (OutputDevice* device : {&m_device, &m_relayoutTo, &m_seen, &m_byDefault})
        makeRoom(*device);
    m_layout.reserve(Mixer::kMaxChannels);
    m_frames.reserve(kWriteFrames * kWriteChannels);
}

EngineStateMachine::~EngineStateMachine()
{
    dropPending();
    m_mixer.clear();
}

std::string EngineStateMachine::describe(Report report, const AudioOutput& output)
{
    static const char* const lines[] = {
        "the sound ran dry: the server's request for it was answered late",
        "cannot open the sound output: the sound server does not answer",
        "cannot open the sound output: the sound server has no output device",
        "cannot open the sound output: ", "sound output lost: "};
    const std::string line = lines[int(report)];
    return report >= Report::CannotOpen ? line + output.error() : line;
}

void EngineStateMachine::prepare()
{
    if (m_state != State::Closed)
        return;
    m_state = State::Connecting;
    if (m_out.connected())
        outputConnected();
    else
        m_out.connect();
}

void EngineStateMachine::play(std::unique_ptr<Voice> voice)
{
    m_toldDry = false;
    switch (m_state) {
    case State::Closed:
        dropPending();
        m_pending = std::move(voice);
        begin();
        return;
    case State::Connecting:
    case State::Opening:
        dropPending();
        m_pending = std::move(voice);
        arm();
        return;
    case State::Running:
    case State::Corked:
        break;
    }
    if (m_relayout) {
        // Heard on the stream to come; what is held there ends.
        dropPending();
        m_pending = std::move(voice);
        m_mixer.stop();
        return;
    }
    start(std::move(voice));
}

void EngineStateMachine::start(std::unique_ptr<Voice> voice)
{
    m_mixer.start(std::move(voice));
    run();
}

// Sound on the stream there is: a corked one is written a full queue, then started.
void EngineStateMachine::run()
{
    m_idle = false;
    m_soundEnd.reset();
    if (m_state == State::Running) {
        fill();
        return;
    }
    m_state = State::Running;
    m_queueSettled = m_clock.now();
    fill();
    m_out.setCorked(false);
}

void EngineStateMachine::stop()
{
    dropPending();
    m_mixer.stop();
    takeBack(true);
    fill();
}

void EngineStateMachine::setGain(float gain)
{
    m_mixer.setGain(gain);
    takeBack(false);
}

// What the output has not taken yet of the sound written is written again, with the gain change
// or the stop's fade starting where the output goes on.
void EngineStateMachine::takeBack(bool stopping)
{
    if (m_state != State::Running || m_idle || m_relayout)
        return;
    const std::size_t width = m_mixer.layout().size();
    const std::size_t frames =
        std::min({m_out.rewritableFrames(), m_mixer.kept(), m_frames.capacity() / width});
    if (frames == 0)
        return;
    m_frames.resize(frames * width);
    if (!stopping)
        m_mixer.regain(m_frames.data(), frames);
    else if (m_mixer.refade(m_frames.data(), frames))
        m_soundEnd = m_written - frames + m_mixer.fadeFrames();
    else
        return;
    m_out.rewrite(m_frames.data(), frames);
}

void EngineStateMachine::finish()
{
    dropPending();
    if (m_state != State::Running || m_idle) {
        m_exitDone = true;
        return;
    }
    m_mixer.stop();
    m_relayout = false;
    m_finishing = true;
    // The fade is heard at the server's next read, not behind the queue: the exit waits only
    // for it, however long the queue has grown.
    takeBack(true);
    fill();
}

std::optional<EngineClock::time_point> EngineStateMachine::deadline() const
{
    switch (m_state) {
    case State::Connecting:
    case State::Opening:
        return m_openBy;
    case State::Running:
        if (m_idle)
            return m_warmUntil;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void EngineStateMachine::onClock()
{
    const auto due = deadline();
    if (!due || m_clock.now() < *due)
        return;
    if (m_state == State::Running) {
        // The warm spell is over: nothing of ours runs until the next press, and the queue
        // is back at its start for it.
        m_out.setCorked(true);
        m_state = State::Corked;
        setQueue(m_timing.minQueue);
        return;
    }
    fail(Report::NoAnswer);
}

// A press waits for the stream, or a held sound does.
bool EngineStateMachine::waiting() const
{
    return m_pending || m_relayout || m_mixer.held();
}

// The press's deadline for the stream, unless one runs already.
void EngineStateMachine::arm()
{
    if (!m_openBy)
        m_openBy = m_clock.now() + m_timing.openLimit;
}

// Connects, or opens at once where the server is known.
void EngineStateMachine::begin()
{
    m_state = State::Connecting;
    arm();
    if (m_out.connected())
        outputConnected();
    else
        m_out.connect();
}

void EngineStateMachine::open(const OutputDevice& device, bool onDevice)
{
    m_device = device;
    outputLayoutFor(device.speakers, m_layout);
    m_mixer.setOutput(device.rate, m_layout);
    m_state = State::Opening;
    m_out.open(m_device, m_layout, device.rate, m_queue, onDevice);
}

// A new stream in place of the one open, for what is pending or held, or corked for the next
// press. One moved away from the default device is opened again on the device it was moved to.
void EngineStateMachine::reopen(const OutputDevice& device, bool moved)
{
    m_out.close();
    if (waiting())
        arm();
    const bool away =
        moved && !(m_out.defaultDevice(m_byDefault) && m_byDefault.name == device.name);
    open(device, away);
}

void EngineStateMachine::outputConnected()
{
    if (m_state != State::Connecting)
        return;
    if (!m_out.defaultDevice(m_byDefault)) {
        if (waiting())
            fail(Report::NoDevice);
        else
            close();
        return;
    }
    open(m_byDefault);
}

void EngineStateMachine::outputReady()
{
    if (m_state != State::Opening)
        return;
    m_openBy.reset();
    m_written = 0;
    m_soundEnd.reset();
    m_state = State::Corked;
    if (m_pending) {
        start(std::move(m_pending));
    } else if (m_mixer.held()) {
        // Goes on where it was held, faded in.
        m_mixer.resume();
        run();
    }
}

void EngineStateMachine::outputWantsData()
{
    fill();
}

void EngineStateMachine::outputUnderflow(bool late)
{
    if (m_state == State::Running && !m_idle) {
        ++m_underflows;
        m_lateUnderflows += late;
        // A dropout of our own making is told, once a press; one the server caused is not ours.
        if (late && !std::exchange(m_toldDry, true))
            m_complain(Report::RanDry);
        adaptQueue(true);
    }
}

void EngineStateMachine::outputMoved()
{
    if ((m_state != State::Running && m_state != State::Corked) || !m_out.streamDevice(m_seen))
        return;
    m_device = m_seen;
    if (m_finishing)
        return;
    if (m_relayout) {
        // The latest of quick moves says where the held sound goes on.
        m_relayoutTo = m_seen;
        return;
    }
    outputLayoutFor(m_seen.speakers, m_layout);
    if (m_layout == m_mixer.layout())
        return;
    // Laid out otherwise: a corked or silent stream is opened again at once; what plays is held
    // while its fade is played, then goes on laid out for the device.
    if (m_state == State::Corked || m_idle) {
        reopen(m_device, true);
        return;
    }
    m_mixer.hold();
    m_relayoutTo = m_seen;
    m_relayout = true;
    fill();
}

void EngineStateMachine::outputLost()
{
    if (m_state == State::Closed || !m_out.failed())
        return;
    const bool opening = m_state == State::Connecting || m_state == State::Opening;
    // A stream opened ahead of any press goes quietly: the next press says what it finds.
    if (opening && !waiting())
        close();
    else
        fail(opening ? Report::CannotOpen : Report::Lost);
}

// Writes what the output takes, as long as sound is on its way: the sound, then silence
// until the output has played the sound's end.
void EngineStateMachine::fill()
{
    if (m_state != State::Running || m_idle)
        return;
    if (!m_soundEnd && m_relayout && m_mixer.held())
        m_soundEnd = m_written;
    // Played out when the server holds no more than the silence after the sound, or at the
    // latest after a second of it (a Bluetooth device holds a few hundred milliseconds), should
    // the server's timing stall.
    const std::uint64_t tail = m_soundEnd ? m_written - *m_soundEnd : 0;
    if (m_soundEnd && (tail >= std::uint64_t(m_mixer.rate()) || m_out.queuedFrames() <= tail)) {
        playedOut();
        return;
    }
    const std::size_t width = m_mixer.layout().size();
    const std::size_t most = std::max<std::size_t>(m_frames.capacity() / width, 1);
    for (std::size_t left = m_out.writableFrames(); left > 0;) {
        const std::size_t frames = std::min(left, most);
        m_frames.resize(frames * width);
        m_mixer.render(m_frames.data(), frames);
        ++m_renderPasses;
        m_held = m_out.write(m_frames.data(), frames);
        m_written += frames;
        left -= frames;
        if (!m_mixer.active() && !m_soundEnd)
            m_soundEnd = m_written;
    }
    adaptQueue(false);
}

void EngineStateMachine::playedOut()
{
    m_idle = true;
    m_out.endOfSound();
    m_soundEnd.reset();
    m_warmUntil = m_clock.now() + m_timing.warm;
    if (m_finishing) {
        m_finishing = false;
        m_exitDone = true;
        return;
    }
    if (std::exchange(m_relayout, false)) {
        // Where the user moved it is this program's choice now: the new stream goes there
        // (asked for by name, as the server may not have recorded the move yet), or onto the
        // default device it followed.
        reopen(m_relayoutTo, true);
    }
}

std::chrono::microseconds EngineStateMachine::heldBack() const
{
    if (m_state != State::Running || m_idle)
        return {};
    return std::chrono::microseconds(std::int64_t(m_held) * 1000000 / m_mixer.rate());
}

void EngineStateMachine::setQueue(std::chrono::microseconds queue)
{
    m_queueSettled = m_clock.now();
    if (queue == m_queue)
        return;
    m_queue = queue;
    m_out.setQueue(queue);
}

// Longer by half at each underflow of ours, up to the limit; a tenth shorter after a quiet
// while, down to the start.
void EngineStateMachine::adaptQueue(bool ranDry)
{
    if (ranDry)
        setQueue(std::min(m_timing.maxQueue, m_queue * 3 / 2));
    else if (m_mixer.active() && m_clock.now() - m_queueSettled >= m_timing.shrinkAfter)
        setQueue(std::max(m_timing.minQueue, m_queue * 9 / 10));
}

void EngineStateMachine::dropPending()
{
    if (m_pending)
        m_bin.discard(std::move(m_pending));
}

// No connection, nothing waiting.
void EngineStateMachine::close()
{
    m_mixer.clear();
    dropPending();
    m_out.disconnect();
    m_state = State::Closed;
    m_relayout = false;
    m_idle = true;
    m_soundEnd.reset();
    m_openBy.reset();
    if (std::exchange(m_finishing, false))
        m_exitDone = true;
}

void EngineStateMachine::fail(Report report)
{
    m_complain(report);
    close();
}
