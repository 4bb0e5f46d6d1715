#include "TestOutput.h"

#include "Allocations.h"

#include <algorithm>
#include <utility>

using Allocations::Uncounted;

TestOutput::TestOutput(OutputDevice device)
{
    setDefault(device);
}

void TestOutput::know(const OutputDevice& device)
{
    auto& channels = heard[device.name];
    if (channels.empty())
        channels.assign(device.speakers.size(), std::vector<float>(m_position, 0.0f));
}

void TestOutput::deliver()
{
    while (!m_events.empty()) {
        std::function<void(OutputEvents&)> event;
        {
            Uncounted uncounted;
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        event(*events);
        Uncounted uncounted;
        event = nullptr;
    }
}

void TestOutput::playBlock(std::size_t frames, bool ask)
{
    deliver();
    if (ask && writableFrames() > 0) {
        events->outputWantsData();
        deliver();
    }
    {
        Uncounted uncounted;
        play(frames);
    }
    deliver();
}

void TestOutput::play(std::size_t frames)
{
    for (auto& [name, channels] : heard)
        for (auto& channel : channels)
            channel.resize(m_position + frames, 0.0f);
    if (m_stream && m_stream->ready && !corked) {
        Stream& s = *m_stream;
        const std::size_t width = s.layout.size();
        // Starts, or starts again after running dry, once the queue is full.
        if (!s.playing && s.queued.size() / width >= targetFrames())
            s.playing = true;
        if (s.playing) {
            auto& channels = heard[s.device.name];
            // Each channel to the device's speaker of its name, unmixed; none there, unheard.
            std::vector<std::size_t> to(width, SIZE_MAX);
            for (std::size_t c = 0; c < width; ++c)
                for (std::size_t d = 0; d < s.device.speakers.size(); ++d)
                    if (s.device.speakers[d] == s.layout[c])
                        to[c] = d;
            const std::size_t n = std::min(frames, s.queued.size() / width);
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t c = 0; c < width; ++c)
                    if (to[c] != SIZE_MAX)
                        channels[to[c]][m_position + i] = float(s.queued[i * width + c]) / 32768.0f;
            s.queued.erase(s.queued.begin(), s.queued.begin() + std::ptrdiff_t(n * width));
            if (n < frames) {
                s.playing = false;
                post([late = answeredLate](OutputEvents& e) { e.outputUnderflow(late); });
            }
        }
    }
    m_position += frames;
}

void TestOutput::setDefault(const OutputDevice& device, bool follow)
{
    m_default = device;
    know(device);
    if (follow && m_stream && m_stream->placed && !m_chosen && m_stream->device != device) {
        m_stream->device = device;
        post([](OutputEvents& e) { e.outputMoved(); });
    }
}

void TestOutput::move(const OutputDevice& device)
{
    Uncounted uncounted;
    know(device);
    if (recordsMovesLate)
        m_unrecorded = device;
    else
        choose(device);
    if (!m_stream)
        return;
    m_stream->device = device;
    m_stream->placed = !m_chosen && !m_unrecorded;
    post([](OutputEvents& e) { e.outputMoved(); });
}

void TestOutput::recordMoves()
{
    if (m_unrecorded)
        choose(*std::exchange(m_unrecorded, std::nullopt));
}

void TestOutput::choose(const OutputDevice& device)
{
    // Back on the default device, the program follows the default again.
    m_chosen = device;
    if (device == *m_default)
        m_chosen.reset();
    know(device);
}

void TestOutput::fail(const std::string& why)
{
    m_failed = true;
    m_error = why;
    m_connected = false;
    m_stream.reset();
    ++m_serial;
    post([](OutputEvents& e) { e.outputLost(); });
}

bool TestOutput::connected() const
{
    Uncounted uncounted;
    return m_connected;
}

bool TestOutput::failed() const
{
    Uncounted uncounted;
    return m_failed;
}

bool TestOutput::defaultDevice(OutputDevice& device) const
{
    Uncounted uncounted;
    if (m_default)
        device = *m_default;
    return m_default.has_value();
}

void TestOutput::setQueue(std::chrono::microseconds queue)
{
    Uncounted uncounted;
    m_queue = queue;
}

void TestOutput::setCorked(bool corked)
{
    Uncounted uncounted;
    this->corked = corked;
    // A corked stream drops what it held; uncorked, it starts at once on what it holds.
    if (m_stream) {
        if (corked)
            m_stream->queued.clear();
        m_stream->playing = !corked;
    }
}

void TestOutput::connect()
{
    Uncounted uncounted;
    ++connects;
    ++m_serial;
    m_failed = false;
    m_connected = false;
    if (answerConnect)
        answerConnection();
}

void TestOutput::answerConnection()
{
    post([this, serial = m_serial](OutputEvents& e) {
        if (serial == m_serial)
            m_connected = true;
        e.outputConnected();
    });
}

void TestOutput::disconnect()
{
    Uncounted uncounted;
    close();
    m_connected = false;
}

void TestOutput::open(const OutputDevice& device, const SpeakerLayout& layout, int rate,
                      std::chrono::microseconds queue, bool onDevice)
{
    Uncounted uncounted;
    ++opens;
    ++m_serial;
    const OutputDevice where = onDevice ? device : m_chosen.value_or(*m_default);
    know(where);
    m_stream = Stream{where, layout, rate, false, !onDevice && !m_chosen, false, {}};
    m_queue = queue;
    corked = true;
    if (answerOpen) {
        post([this, serial = m_serial](OutputEvents& e) {
            if (serial == m_serial && m_stream)
                m_stream->ready = true;
            e.outputReady();
        });
        // Then where the server put it, as PulseOutput tells it.
        post([](OutputEvents& e) { e.outputMoved(); });
    }
}

void TestOutput::close()
{
    Uncounted uncounted;
    m_stream.reset();
    corked = false;
    ++m_serial;
}

bool TestOutput::streamDevice(OutputDevice& device) const
{
    Uncounted uncounted;
    if (!m_stream || !m_stream->ready)
        return false;
    device = m_stream->device;
    return true;
}

std::size_t TestOutput::targetFrames() const
{
    return m_stream ? std::size_t(std::int64_t(m_stream->rate) * m_queue.count() / 1000000) : 0;
}

std::size_t TestOutput::writableFrames() const
{
    Uncounted uncounted;
    if (!m_stream || !m_stream->ready)
        return 0;
    return targetFrames() - std::min(targetFrames(), queuedFrames());
}

std::size_t TestOutput::queuedFrames() const
{
    return m_stream ? m_stream->queued.size() / m_stream->layout.size() : 0;
}

std::size_t TestOutput::write(const std::int16_t* frames, std::size_t count)
{
    Uncounted uncounted;
    if (!m_stream)
        return 0;
    if (count > writableFrames())
        ++overruns;
    m_stream->queued.insert(m_stream->queued.end(), frames,
                            frames + count * m_stream->layout.size());
    framesWritten += count;
    return queuedFrames();
}

std::size_t TestOutput::rewritableFrames() const
{
    return m_stream && m_stream->ready ? queuedFrames() : 0;
}

void TestOutput::rewrite(const std::int16_t* frames, std::size_t count)
{
    Uncounted uncounted;
    if (!m_stream)
        return;
    if (count > rewritableFrames())
        ++overruns;
    const std::size_t samples = std::min(count * m_stream->layout.size(), m_stream->queued.size());
    std::copy_n(frames + (count * m_stream->layout.size() - samples), samples,
                m_stream->queued.end() - std::ptrdiff_t(samples));
    ++rewrites;
}

EngineRig::EngineRig(OutputDevice device, std::chrono::milliseconds warm)
    : out(device), rate(device.rate)
{
    EngineStateMachine::Timing timing;
    timing.warm = warm;
    machine = std::make_unique<EngineStateMachine>(
        out, clock, timing, 1.0f, bin, [this](EngineStateMachine::Report report) {
            Uncounted uncounted;
            complaints.push_back(EngineStateMachine::describe(report, out));
        });
    out.events = machine.get();
}

EngineRig::~EngineRig() = default;

std::unique_ptr<Voice> EngineRig::voice(const QString& path, double rate)
{
    Uncounted uncounted;
    auto reader = std::make_shared<FileReader>(path);
    reader->readAhead(rate, false);
    readers.push_back(reader);
    return std::make_unique<Voice>(reader);
}

void EngineRig::run(double seconds)
{
    const std::size_t block = std::size_t(rate / 200);
    const auto step = std::chrono::nanoseconds(std::int64_t(block) * 1000000000 / rate);
    for (double t = 0; t < seconds; t += double(block) / rate) {
        if (!readsStall) {
            Uncounted uncounted;
            for (const auto& reader : readers)
                if (const auto alive = reader.lock())
                    alive->decodeAhead();
        }
        out.playBlock(block);
        clock.advance(step);
        if (const auto due = machine->deadline(); due && clock.now() >= *due) {
            machine->onClock();
            out.deliver();
        }
    }
}

OutputDevice stereoDevice(const std::string& name)
{
    return {name, 44100, {Speaker::FrontLeft, Speaker::FrontRight}, {1, 2}};
}

OutputDevice surround51Device(const std::string& name)
{
    // As PulseAudio lists a 5.1 null sink's channels.
    return {name,
            44100,
            {Speaker::FrontLeft, Speaker::FrontRight, Speaker::RearLeft, Speaker::RearRight,
             Speaker::FrontCentre, Speaker::Lfe},
            {1, 2, 5, 6, 3, 7}};
}
