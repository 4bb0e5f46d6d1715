#include "PulseOutput.h"

#include "BuildSettings.h"
#include "RealtimeThread.h"

#include <algorithm>
#include <pulse/pulseaudio.h>
#include <utility>

namespace {

// How long the stream's queue lasts when full.
std::chrono::microseconds queueLength(pa_stream* stream)
{
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    return std::chrono::microseconds(
        attr ? pa_bytes_to_usec(attr->tlength, pa_stream_get_sample_spec(stream)) : 0);
}

// The server asks for sound each time three eighths of the queue have played. Both servers
// give the device's buffer (tlength - 2 minreq) / 2 of a stream that adjusts the latency: an
// eighth of the queue, so a longer queue is more in hand between requests, not a later start.
// With the request at a quarter (the servers' default), a queue twice as long started the sound
// up to twice as late on a device that cannot rewind.
uint32_t requestSize(std::chrono::microseconds queue, const pa_sample_spec& format)
{
    return uint32_t(pa_usec_to_bytes(pa_usec_t(queue.count()) * 3 / 8, &format));
}

// How often the server's timing of the stream is asked for while sound is written; libpulse
// carries it forward on the clock in between.
constexpr auto kTimingEvery = std::chrono::milliseconds(50);

// Kept clear of the server's read index when writing over the queue: the clock carries the
// index forward smoothly, while PipeWire takes whole periods, a little ahead of it.
constexpr pa_usec_t kRewriteMargin = 1000;

// Holds libpulse's lock for a scope: the library's thread runs only while it is free.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(m_loop); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

Speaker speakerFor(pa_channel_position_t position)
{
    static const std::pair<pa_channel_position_t, Speaker> known[] = {
        {PA_CHANNEL_POSITION_MONO, Speaker::Mono},
        {PA_CHANNEL_POSITION_FRONT_LEFT, Speaker::FrontLeft},
        {PA_CHANNEL_POSITION_FRONT_RIGHT, Speaker::FrontRight},
        {PA_CHANNEL_POSITION_FRONT_CENTER, Speaker::FrontCentre},
        {PA_CHANNEL_POSITION_LFE, Speaker::Lfe},
        {PA_CHANNEL_POSITION_REAR_LEFT, Speaker::RearLeft},
        {PA_CHANNEL_POSITION_REAR_RIGHT, Speaker::RearRight},
        {PA_CHANNEL_POSITION_REAR_CENTER, Speaker::RearCentre},
        {PA_CHANNEL_POSITION_SIDE_LEFT, Speaker::SideLeft},
        {PA_CHANNEL_POSITION_SIDE_RIGHT, Speaker::SideRight}};
    for (const auto& [code, speaker] : known)
        if (code == position)
            return speaker;
    return Speaker::Other;
}

OutputDevice deviceFrom(const pa_sink_info& info)
{
    OutputDevice device{info.name, int(info.sample_spec.rate), {}, {}};
    if (device.rate < 22050 || device.rate > 192000)
        device.rate = 44100;
    for (int c = 0; c < info.channel_map.channels; ++c) {
        device.speakers.push_back(speakerFor(info.channel_map.map[c]));
        device.positions.push_back(info.channel_map.map[c]);
    }
    return device;
}

void forget(pa_operation* op)
{
    if (op)
        pa_operation_unref(op);
}

// A property list that frees itself.
class Properties {
public:
    Properties() : m_list(pa_proplist_new()) {}
    ~Properties() { pa_proplist_free(m_list); }
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;
    Properties& set(const char* key, const std::string& value)
    {
        pa_proplist_sets(m_list, key, value.c_str());
        return *this;
    }
    pa_proplist* get() const { return m_list; }

private:
    pa_proplist* m_list;
};

} // namespace

// Every callback is cleared before the context or stream it belongs to is let go, so the
// pointer to the output they carry is always alive.
struct PulseOutput::Callbacks {
    static void contextState(pa_context* context, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        // The library's thread takes the server's requests for more sound: it must keep up too.
        // Raised from its first callback there (a call queued for it at once would be left
        // undone, and its memory kept, by an output let go before the thread got to it); the
        // first states are told on the thread that connects.
        if (pa_threaded_mainloop_in_thread(self->m_loop) &&
            !std::exchange(self->m_loopRaised, true))
            runThisThreadAheadOfOrdinaryWork();
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            // Told of every change of the default device, or of a device, from now on.
            pa_context_set_subscribe_callback(context, deviceEvent, self);
            forget(pa_context_subscribe(
                context,
                pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr));
            self->askDefaultDevice();
            return;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->fail();
            return;
        default:
            return;
        }
    }

    static void deviceEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* data)
    {
        static_cast<PulseOutput*>(data)->askDefaultDevice();
    }

    static void defaultDevice(pa_context*, const pa_sink_info* info, int end, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        if (info) {
            self->m_candidate = deviceFrom(*info);
            return;
        }
        // The end of the answer; a negative end means there is no default device.
        std::optional<OutputDevice> device;
        if (end > 0)
            device = std::move(self->m_candidate);
        self->m_candidate.reset();
        self->m_default = std::move(device);
        if (!std::exchange(self->m_answered, true))
            self->m_events.outputConnected();
    }

    static void streamState(pa_stream* stream, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            self->renameStream();
            // Ready at once: the server asks for sound now. Where it put the stream follows,
            // told as a move.
            self->m_events.outputReady();
            self->askStreamDevice();
            return;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            self->fail();
            return;
        default:
            return;
        }
    }

    static void wantsData(pa_stream*, size_t, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        self->m_judge.asked(LatenessJudge::Clock::now());
        self->m_events.outputWantsData();
    }

    static void underflow(pa_stream* stream, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        self->m_events.outputUnderflow(
            self->m_judge.ranDry(LatenessJudge::Clock::now(), queueLength(stream)));
    }

    static void moved(pa_stream*, void* data)
    {
        static_cast<PulseOutput*>(data)->askStreamDevice();
    }

    static void streamDevice(pa_context*, const pa_sink_info* info, int, void* data)
    {
        auto* self = static_cast<PulseOutput*>(data);
        if (info) {
            self->m_streamDevice = deviceFrom(*info);
            return;
        }
        if (self->m_streamDeviceQuery) {
            pa_operation_unref(self->m_streamDeviceQuery);
            self->m_streamDeviceQuery = nullptr;
        }
        // A device gone before the answer leaves the stream where it was last seen; the server
        // moves it on and says so.
        self->m_events.outputMoved();
    }
};

PulseOutput::PulseOutput(OutputEvents& events)
    : m_events(events), m_loop(pa_threaded_mainloop_new())
{
    if (m_loop && pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

PulseOutput::~PulseOutput()
{
    if (!m_loop)
        return;
    disconnect();
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseOutput::connect()
{
    if (!m_loop) {
        m_failed = true;
        m_error = "the sound server library did not start";
        m_events.outputLost();
        return;
    }
    Locked locked(m_loop);
    closeStream();
    dropContext();
    m_failed = false;
    m_answered = false;
    m_default.reset();
    Properties identity;
    identity.set(PA_PROP_APPLICATION_NAME, "Orvo Peln Tandrick")
        .set(PA_PROP_APPLICATION_ID, APP_ID)
        .set(PA_PROP_APPLICATION_ICON_NAME, APP_ICON);
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop),
                                             "Orvo Peln Tandrick", identity.get());
    if (!m_context) {
        fail();
        return;
    }
    pa_context_set_state_callback(m_context, Callbacks::contextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        fail();
}

void PulseOutput::disconnect()
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    closeStream();
    dropContext();
    m_answered = false;
    m_default.reset();
}

bool PulseOutput::connected() const
{
    if (!m_loop)
        return false;
    Locked locked(m_loop);
    return m_context && m_answered && !m_failed &&
           pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseOutput::defaultDevice(OutputDevice& device) const
{
    if (!m_loop)
        return false;
    Locked locked(m_loop);
    if (m_default)
        device = *m_default;
    return m_default.has_value();
}

void PulseOutput::askDefaultDevice()
{
    forget(pa_context_get_sink_info_by_name(m_context, "@DEFAULT_SINK@", Callbacks::defaultDevice,
                                            this));
}

// Called with the lock held: keeps the reason and tells the engine.
void PulseOutput::fail()
{
    m_failed = true;
    m_error = m_context ? pa_strerror(pa_context_errno(m_context)) : "out of memory";
    m_events.outputLost();
}

// Asks the server which device the stream plays on; outputMoved() tells the engine once it is
// known. A newer question, or the stream's end, cancels the one before.
void PulseOutput::askStreamDevice()
{
    if (!m_stream)
        return;
    if (m_streamDeviceQuery) {
        pa_operation_cancel(m_streamDeviceQuery);
        pa_operation_unref(m_streamDeviceQuery);
    }
    m_streamDeviceQuery = pa_context_get_sink_info_by_index(
        m_context, pa_stream_get_device_index(m_stream), Callbacks::streamDevice, this);
}

void PulseOutput::open(const OutputDevice& device, const SpeakerLayout& layout, int rate,
                       std::chrono::microseconds queue, bool onDevice)
{
    if (!m_loop || !m_context)
        return;
    Locked locked(m_loop);
    closeStream();
    pa_channel_map map;
    const bool ownLayout = layout == device.speakers;
    if (ownLayout) {
        map.channels = uint8_t(device.positions.size());
        for (std::size_t c = 0; c < device.positions.size(); ++c)
            map.map[c] = pa_channel_position_t(device.positions[c]);
    } else {
        pa_channel_map_init_stereo(&map);
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(rate), map.channels};
    Properties properties;
    // PulseAudio keeps the user's choice of device per role unless told otherwise: this
    // program's own, not that of every program playing test sounds.
    properties.set(PA_PROP_MEDIA_ROLE, "test")
        .set(PA_PROP_MEDIA_NAME, m_streamName)
        .set("module-stream-restore.id", std::string("sink-input-by-application-id:") + APP_ID);
    // PipeWire places a stream on the device this names without taking it for the user's
    // choice (WirePlumber records a move a moment after it, which a stream opened at once can
    // beat); PulseAudio ignores it, and has recorded the move before it tells of it.
    if (onDevice)
        properties.set("target.object", device.name);
    m_named = m_streamName;
    m_stream = pa_stream_new_with_proplist(m_context, m_streamName.c_str(), &format, &map,
                                           properties.get());
    if (!m_stream) {
        fail();
        return;
    }
    m_frameBytes = int(pa_frame_size(&format));
    pa_stream_set_state_callback(m_stream, Callbacks::streamState, this);
    pa_stream_set_write_callback(m_stream, Callbacks::wantsData, this);
    pa_stream_set_underflow_callback(m_stream, Callbacks::underflow, this);
    pa_stream_set_moved_callback(m_stream, Callbacks::moved, this);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(pa_usec_t(queue.count()), &format));
    attr.prebuf = uint32_t(-1);
    attr.minreq = requestSize(queue, format);
    attr.fragsize = uint32_t(-1);
    // Laid out as the device is, the stream must reach each speaker as it is: a server that
    // remixes spreads a stereo test over the centre and the subwoofer. No device is named: the
    // server places the stream where the user last moved this program's sound (PulseAudio's
    // stream-restore, WirePlumber's restore-stream), else on the default device, which it then
    // follows. (A stream opened on a named device keeps that device as the user's choice on
    // PulseAudio even after the user moves it back to the default.) It starts corked, and
    // plays once uncorked on what was written then: what the server asked for of the queue.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED |
                                         PA_STREAM_INTERPOLATE_TIMING |
                                         (ownLayout ? PA_STREAM_NO_REMIX_CHANNELS : 0));
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        fail();
}

void PulseOutput::close()
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    closeStream();
}

bool PulseOutput::streamDevice(OutputDevice& device) const
{
    if (!m_loop)
        return false;
    Locked locked(m_loop);
    if (m_streamDevice)
        device = *m_streamDevice;
    return m_streamDevice.has_value();
}

void PulseOutput::setStreamName(const std::string& name)
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    if (name == m_streamName)
        return;
    m_streamName = name;
    renameStream();
}

// A stream is renamed once it is ready: a name given while it opened is passed on then.
void PulseOutput::renameStream()
{
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY || m_streamName == m_named)
        return;
    m_named = m_streamName;
    Properties properties;
    properties.set(PA_PROP_MEDIA_NAME, m_named);
    forget(
        pa_stream_proplist_update(m_stream, PA_UPDATE_REPLACE, properties.get(), nullptr, nullptr));
}

void PulseOutput::closeStream()
{
    if (m_streamDeviceQuery) {
        pa_operation_cancel(m_streamDeviceQuery);
        pa_operation_unref(m_streamDeviceQuery);
        m_streamDeviceQuery = nullptr;
    }
    m_streamDevice.reset();
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
    pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_judge.reset();
}

void PulseOutput::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    // Disconnecting cancels the questions still open: none of them calls back.
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

bool PulseOutput::failed() const
{
    if (!m_loop)
        return true;
    Locked locked(m_loop);
    return m_failed;
}

std::string PulseOutput::error() const
{
    if (!m_loop)
        return "the sound server library did not start";
    Locked locked(m_loop);
    return m_error;
}

std::size_t PulseOutput::writableFrames() const
{
    if (!m_loop)
        return 0;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    const size_t free = pa_stream_writable_size(m_stream);
    return free == size_t(-1) ? 0 : free / std::size_t(m_frameBytes);
}

// What the server holds of what was written, in its queue and in the device's buffer, as its
// latest timing of the stream says, carried forward on the clock. Before the first timing, what
// the stream's queue holds.
std::size_t PulseOutput::queuedFrames() const
{
    if (!m_loop)
        return 0;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    return held();
}

// With the lock held, on a ready stream.
std::size_t PulseOutput::held() const
{
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream, &latency, &negative) == 0)
        return negative ? 0
                        : pa_usec_to_bytes(latency, pa_stream_get_sample_spec(m_stream)) /
                              std::size_t(m_frameBytes);
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(m_stream);
    const size_t free = pa_stream_writable_size(m_stream);
    if (!attr || free == size_t(-1))
        return 0;
    const auto target = std::size_t(attr->tlength);
    return (target - std::min(target, free)) / std::size_t(m_frameBytes);
}

std::size_t PulseOutput::write(const std::int16_t* frames, std::size_t count)
{
    if (!m_loop)
        return 0;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    // A refused write leaves a hole; a failed stream says so through its state.
    pa_stream_write(m_stream, frames, count * std::size_t(m_frameBytes), nullptr, 0,
                    PA_SEEK_RELATIVE);
    const auto now = LatenessJudge::Clock::now();
    m_judge.answered(now, queueLength(m_stream));
    if (now - m_timingAskedAt >= kTimingEvery) {
        m_timingAskedAt = now;
        forget(pa_stream_update_timing_info(m_stream, nullptr, nullptr));
    }
    return held();
}

void PulseOutput::endOfSound()
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    m_judge.idle();
}

// Only what the server has not read: a device that cannot rewind (PipeWire's, or a PulseAudio
// sink without rewinds) plays what it read as it was, and half a fade would be a click.
std::size_t PulseOutput::rewritableFrames() const
{
    if (!m_loop)
        return 0;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    const pa_timing_info* timing = pa_stream_get_timing_info(m_stream);
    if (!timing || timing->write_index_corrupt || timing->read_index_corrupt)
        return 0;
    const pa_sample_spec* format = pa_stream_get_sample_spec(m_stream);
    const pa_usec_t since = timing->playing ? pa_timeval_age(&timing->timestamp) : 0;
    const auto unread = timing->write_index - timing->read_index -
                        std::int64_t(pa_usec_to_bytes(since + kRewriteMargin, format));
    return unread > 0 ? std::size_t(unread) / std::size_t(m_frameBytes) : 0;
}

void PulseOutput::rewrite(const std::int16_t* frames, std::size_t count)
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    const std::size_t bytes = count * std::size_t(m_frameBytes);
    pa_stream_write(m_stream, frames, bytes, nullptr, -std::int64_t(bytes), PA_SEEK_RELATIVE);
}

void PulseOutput::setQueue(std::chrono::microseconds queue)
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    pa_buffer_attr attr = *pa_stream_get_buffer_attr(m_stream);
    attr.tlength =
        uint32_t(pa_usec_to_bytes(pa_usec_t(queue.count()), pa_stream_get_sample_spec(m_stream)));
    attr.prebuf = uint32_t(-1);
    attr.minreq = requestSize(queue, *pa_stream_get_sample_spec(m_stream));
    forget(pa_stream_set_buffer_attr(m_stream, &attr, nullptr, nullptr));
}

void PulseOutput::setCorked(bool corked)
{
    if (!m_loop)
        return;
    Locked locked(m_loop);
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    forget(pa_stream_cork(m_stream, corked ? 1 : 0, nullptr, nullptr));
    // What a corked stream held is not the next sound's; the queue to come is.
    if (corked)
        forget(pa_stream_flush(m_stream, nullptr, nullptr));
    else {
        forget(pa_stream_trigger(m_stream, nullptr, nullptr));
        forget(pa_stream_update_timing_info(m_stream, nullptr, nullptr));
    }
}
