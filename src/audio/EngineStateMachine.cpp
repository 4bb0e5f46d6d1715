#include "EngineStateMachine.h"

#include "Voice.h"

#include <algorithm>
#include <utility>

EngineStateMachine::EngineStateMachine(AudioOutput& output, const EngineClock& clock, Timing timing,
                                       float gain, Complaint complain)
    : m_out(output), m_clock(clock), m_timing(timing), m_complain(std::move(complain)),
      m_mixer(gain), m_queue(timing.minQueue)
{}

EngineStateMachine::~EngineStateMachine() = default;

void EngineStateMachine::play(std::unique_ptr<Voice> voice, const std::string& title)
{
    m_toldDry = false;
    if (!title.empty())
        m_out.setStreamName(title);
    switch (m_state) {
    case State::Closed:
        m_pending = std::move(voice);
        begin();
        return;
    case State::Connecting:
    case State::Opening:
        m_pending = std::move(voice);
        return;
    case State::Running:
    case State::Corked:
        break;
    }
    if (m_relayout) {
        // Heard on the stream to come; what is held there ends.
        m_pending = std::move(voice);
        m_mixer.stop();
        return;
    }
    if (m_state == State::Corked) {
        // A corked stream started again ran dry at its start now and then (in about one run of
        // the sound tests in four on a two-core machine); a new stream on the same connection
        // did not, and costs one round trip more.
        // Expected where the last one played, unless the default device changed since.
        m_pending = std::move(voice);
        const std::optional<OutputDevice> device = m_out.defaultDevice();
        reopen(device && std::exchange(m_deviceStale, false) ? *device : m_device);
        return;
    }
    m_mixer.start(std::move(voice));
    m_idle = false;
    m_soundEnd.reset();
    fill();
}

void EngineStateMachine::stop()
{
    m_pending.reset();
    m_mixer.stop();
    fill();
}

void EngineStateMachine::finish()
{
    m_pending.reset();
    if (m_state != State::Running || m_idle) {
        m_exitDone = true;
        return;
    }
    m_mixer.stop();
    m_relayout.reset();
    m_finishing = true;
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
        // The warm spell is over: nothing of ours runs until the next press.
        m_out.setCorked(true);
        m_state = State::Corked;
        return;
    }
    fail("cannot open the sound output: the sound server does not answer");
}

// Connects, or opens at once where the server is known.
void EngineStateMachine::begin()
{
    m_state = State::Connecting;
    m_openBy = m_clock.now() + m_timing.openLimit;
    m_deviceStale = false;
    if (m_out.connected())
        outputConnected();
    else
        m_out.connect();
}

void EngineStateMachine::open(const OutputDevice& device, bool onDevice)
{
    m_device = device;
    const SpeakerLayout layout = outputLayoutFor(device.speakers);
    m_mixer.setOutput(device.rate, layout);
    m_frames.reserve(Voice::kUsualBlock * layout.size());
    m_state = State::Opening;
    m_out.open(device, layout, device.rate, m_queue, onDevice);
}

// A new stream in place of the one open, for what is pending or held. One moved away from the
// default device is opened again on the device it was moved to.
void EngineStateMachine::reopen(const OutputDevice& device, bool moved)
{
    m_out.close();
    m_openBy = m_clock.now() + m_timing.openLimit;
    const std::optional<OutputDevice> byDefault = m_out.defaultDevice();
    open(device, moved && (!byDefault || byDefault->name != device.name));
}

void EngineStateMachine::outputConnected()
{
    if (m_state != State::Connecting)
        return;
    const std::optional<OutputDevice> device = m_out.defaultDevice();
    if (!device) {
        fail("cannot open the sound output: the sound server has no output device");
        return;
    }
    open(*device);
}

void EngineStateMachine::outputReady()
{
    if (m_state != State::Opening)
        return;
    m_state = State::Running;
    m_written = 0;
    m_soundEnd.reset();
    m_queueSettled = m_clock.now();
    if (m_pending) {
        m_mixer.start(std::move(m_pending));
        m_idle = false;
        // A new stream starts with a queue of silence: the server settles its device on the
        // stream's latency while that plays (a sound written at once ran dry at its start on a
        // null sink now and then).
        m_preroll = prerollFrames();
    } else if (m_mixer.held()) {
        // Goes on where it was held, faded in after the new stream's silence.
        m_mixer.resume();
        m_idle = false;
        m_preroll = prerollFrames();
    } else {
        m_idle = true;
        m_warmUntil = m_clock.now() + m_timing.warm;
    }
    fill();
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
        // A dropout of our own making is told, once a press (this runs on the sound thread);
        // one the server caused is not ours.
        if (late && !std::exchange(m_toldDry, true))
            m_complain("the sound ran dry: the server's request for it was answered late");
        adaptQueue(true);
    }
}

void EngineStateMachine::outputMoved()
{
    const std::optional<OutputDevice> device = m_out.streamDevice();
    if (!device || (m_state != State::Running && m_state != State::Corked))
        return;
    m_device = *device;
    if (m_finishing)
        return;
    if (m_relayout) {
        // The latest of quick moves says where the held sound goes on.
        m_relayout = device;
        return;
    }
    if (outputLayoutFor(device->speakers) == m_mixer.layout())
        return;
    // Laid out otherwise: a corked stream is replaced at the next press anyway; a silent one at
    // once; what plays is held while its fade is played, then goes on laid out for the device.
    if (m_state == State::Corked)
        return;
    if (m_idle) {
        reopen(*device, true);
        return;
    }
    m_mixer.hold();
    m_relayout = device;
    fill();
}

void EngineStateMachine::outputDeviceChanged()
{
    m_deviceStale = true;
}

void EngineStateMachine::outputLost()
{
    if (m_state == State::Closed || !m_out.failed())
        return;
    const bool opening = m_state == State::Connecting || m_state == State::Opening;
    fail((opening ? "cannot open the sound output: " : "sound output lost: ") + m_out.error());
}

// Writes what the output takes, as long as sound is on its way: the sound, then silence
// until the output has played the sound's end.
void EngineStateMachine::fill()
{
    if (m_state != State::Running || m_idle)
        return;
    if (!m_soundEnd && m_relayout && m_mixer.held())
        m_soundEnd = m_written;
    if (m_soundEnd && m_out.queuedFrames() <= m_written - *m_soundEnd) {
        playedOut();
        return;
    }
    const std::size_t frames = m_out.writableFrames();
    if (frames == 0)
        return;
    const std::size_t width = m_mixer.layout().size();
    m_frames.resize(frames * width);
    const std::size_t silent = std::min(frames, m_preroll);
    std::fill_n(m_frames.begin(), silent * width, std::int16_t(0));
    m_preroll -= silent;
    m_mixer.render(m_frames.data() + silent * width, frames - silent);
    ++m_renderPasses;
    m_out.write(m_frames.data(), frames);
    m_written += frames;
    if (!m_mixer.active() && !m_soundEnd)
        m_soundEnd = m_written;
    adaptQueue(false);
}

std::size_t EngineStateMachine::prerollFrames() const
{
    return std::size_t(std::int64_t(m_mixer.rate()) * m_queue.count() / 1000000);
}

void EngineStateMachine::playedOut()
{
    m_idle = true;
    m_soundEnd.reset();
    m_warmUntil = m_clock.now() + m_timing.warm;
    if (m_finishing) {
        m_finishing = false;
        m_exitDone = true;
        return;
    }
    if (m_relayout) {
        // Where the user moved it is this program's choice now: the new stream goes there
        // (asked for by name, as the server may not have recorded the move yet), or onto the
        // default device it followed.
        reopen(*std::exchange(m_relayout, std::nullopt), true);
        return;
    }
}

// Longer by half at each underflow of ours, up to the limit; a tenth shorter after a quiet
// while, down to the start.
void EngineStateMachine::adaptQueue(bool ranDry)
{
    const auto now = m_clock.now();
    std::chrono::microseconds queue = m_queue;
    if (ranDry)
        queue = std::min(m_timing.maxQueue, m_queue * 3 / 2);
    else if (m_mixer.active() && now - m_queueSettled >= m_timing.shrinkAfter)
        queue = std::max(m_timing.minQueue, m_queue * 9 / 10);
    else
        return;
    m_queueSettled = now;
    if (queue == m_queue)
        return;
    m_queue = queue;
    m_out.setQueue(queue);
}

void EngineStateMachine::fail(const std::string& what)
{
    m_complain(what);
    m_mixer.clear();
    m_pending.reset();
    m_out.disconnect();
    m_state = State::Closed;
    m_relayout.reset();
    m_idle = true;
    m_soundEnd.reset();
    m_preroll = 0;
    if (std::exchange(m_finishing, false))
        m_exitDone = true;
}
