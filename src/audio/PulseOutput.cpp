#include "PulseOutput.h"

#include "RealtimeThread.h"

#include <algorithm>
#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

namespace {

// How long opening waits for the server: one that takes the connection but never answers
// must not hold the sound thread, nor the exit that waits for it.
constexpr pa_usec_t kAnswerLimit = 2 * PA_USEC_PER_SEC;

// Every callback only wakes whoever waits on the loop; none keeps a pointer to us.
void wakeWaiter(pa_threaded_mainloop* loop)
{
    pa_threaded_mainloop_signal(loop, 0);
}

void contextChanged(pa_context*, void* loop)
{
    wakeWaiter(static_cast<pa_threaded_mainloop*>(loop));
}

void streamChanged(pa_stream*, void* loop)
{
    wakeWaiter(static_cast<pa_threaded_mainloop*>(loop));
}

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

// Wakes whoever waits on the loop when the answer limit has passed.
class Deadline {
public:
    Deadline(pa_threaded_mainloop* loop, pa_context* context)
        : m_api(pa_threaded_mainloop_get_api(loop)), m_end(pa_rtclock_now() + kAnswerLimit)
    {
        m_event = pa_context_rttime_new(
            context, m_end,
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* waiter) {
                wakeWaiter(static_cast<pa_threaded_mainloop*>(waiter));
            },
            loop);
    }
    ~Deadline()
    {
        if (m_event)
            m_api->time_free(m_event);
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    bool passed() const { return pa_rtclock_now() >= m_end; }

private:
    pa_mainloop_api* m_api;
    pa_usec_t m_end;
    pa_time_event* m_event = nullptr;
};

Speaker speakerFor(pa_channel_position_t position)
{
    switch (position) {
    case PA_CHANNEL_POSITION_MONO:
        return Speaker::Mono;
    case PA_CHANNEL_POSITION_FRONT_LEFT:
        return Speaker::FrontLeft;
    case PA_CHANNEL_POSITION_FRONT_RIGHT:
        return Speaker::FrontRight;
    case PA_CHANNEL_POSITION_FRONT_CENTER:
        return Speaker::FrontCentre;
    case PA_CHANNEL_POSITION_LFE:
        return Speaker::Lfe;
    case PA_CHANNEL_POSITION_REAR_LEFT:
        return Speaker::RearLeft;
    case PA_CHANNEL_POSITION_REAR_RIGHT:
        return Speaker::RearRight;
    case PA_CHANNEL_POSITION_REAR_CENTER:
        return Speaker::RearCentre;
    case PA_CHANNEL_POSITION_SIDE_LEFT:
        return Speaker::SideLeft;
    case PA_CHANNEL_POSITION_SIDE_RIGHT:
        return Speaker::SideRight;
    default:
        return Speaker::Other;
    }
}

} // namespace

// Kept up to date by the server library's thread, read under its lock.
struct PulseOutput::DeviceWatch {
    pa_threaded_mainloop* loop;
    std::optional<Device> device;
    bool answered = false;
};

namespace {

// Asks which device plays by default; the answer lands in the watch.
pa_operation* askDefaultDevice(pa_context* context, void* watch)
{
    return pa_context_get_sink_info_by_name(
        context, "@DEFAULT_SINK@",
        [](pa_context*, const pa_sink_info* info, int end, void* data) {
            auto* watch = static_cast<PulseOutput::DeviceWatch*>(data);
            if (info) {
                PulseOutput::Device device{info->name, int(info->sample_spec.rate), {}, {}};
                if (device.rate < 22050 || device.rate > 192000)
                    device.rate = 44100;
                for (int c = 0; c < info->channel_map.channels; ++c) {
                    device.speakers.push_back(speakerFor(info->channel_map.map[c]));
                    device.positions.push_back(info->channel_map.map[c]);
                }
                watch->device = std::move(device);
                return;
            }
            if (end < 0) // no default device
                watch->device.reset();
            watch->answered = true;
            wakeWaiter(watch->loop);
        },
        watch);
}

// Another default device, or a device changed or gone: ask again, in the library's thread, so
// that a press never waits for the answer.
void deviceEvent(pa_context* context, pa_subscription_event_type_t, uint32_t, void* watch)
{
    if (pa_operation* op = askDefaultDevice(context, watch))
        pa_operation_unref(op);
}

} // namespace

PulseOutput::PulseOutput()
    : m_loop(pa_threaded_mainloop_new()), m_watch(std::make_unique<DeviceWatch>())
{
    m_watch->loop = m_loop;
    if (m_loop && pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
    // The library's thread takes the server's requests for more sound: it must keep up too.
    if (m_loop) {
        Locked locked(m_loop);
        pa_threaded_mainloop_once_unlocked(
            m_loop, [](pa_threaded_mainloop*, void*) { runThisThreadAheadOfOrdinaryWork(); },
            nullptr);
    }
}

PulseOutput::~PulseOutput()
{
    if (!m_loop)
        return;
    close();
    {
        Locked locked(m_loop);
        dropContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseOutput::connectContext()
{
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
        return true;
    dropContext();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Orvo Peln Tandrick");
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, contextChanged, m_loop);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_error = pa_strerror(pa_context_errno(m_context));
        dropContext();
        return false;
    }
    const bool ready = awaitReady([this] {
        const pa_context_state_t state = pa_context_get_state(m_context);
        return state == PA_CONTEXT_READY   ? Progress::Ready
               : PA_CONTEXT_IS_GOOD(state) ? Progress::Pending
                                           : Progress::Failed;
    });
    if (!ready || !watchDevices()) {
        dropContext();
        return false;
    }
    return true;
}

bool PulseOutput::awaitReady(const std::function<Progress()>& progress)
{
    const Deadline deadline(m_loop, m_context);
    for (;;) {
        const Progress now = progress();
        if (now == Progress::Ready)
            return true;
        if (now == Progress::Failed || deadline.passed()) {
            m_error = now == Progress::Failed ? pa_strerror(pa_context_errno(m_context))
                                              : "the sound server does not answer";
            return false;
        }
        pa_threaded_mainloop_wait(m_loop);
    }
}

void PulseOutput::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    // Disconnecting cancels the questions still open: nothing calls back into the watch.
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

std::optional<PulseOutput::Device> PulseOutput::defaultDevice()
{
    if (!m_loop)
        return std::nullopt;
    Locked locked(m_loop);
    if (!connectContext())
        return std::nullopt;
    if (!m_watch->device)
        m_error = "the sound server has no output device";
    return m_watch->device;
}

bool PulseOutput::watchDevices()
{
    pa_context_set_subscribe_callback(m_context, deviceEvent, m_watch.get());
    if (pa_operation* op = pa_context_subscribe(
            m_context,
            pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
            nullptr, nullptr))
        pa_operation_unref(op);
    m_watch->answered = false;
    pa_operation* op = askDefaultDevice(m_context, m_watch.get());
    if (!op) {
        m_error = pa_strerror(pa_context_errno(m_context));
        return false;
    }
    const bool answered =
        awaitReady([this] { return m_watch->answered ? Progress::Ready : Progress::Pending; });
    pa_operation_unref(op);
    return answered;
}

bool PulseOutput::open(const Device& device, int bufferMs)
{
    if (!m_loop)
        return false;
    close();
    Locked locked(m_loop);
    if (!connectContext())
        return false;
    const bool ownLayout = outputLayoutFor(device.speakers) == device.speakers;
    pa_channel_map map;
    if (ownLayout) {
        map.channels = uint8_t(device.positions.size());
        for (std::size_t c = 0; c < device.positions.size(); ++c)
            map.map[c] = pa_channel_position_t(device.positions[c]);
    } else {
        pa_channel_map_init_stereo(&map);
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(device.rate), map.channels};
    m_stream = pa_stream_new(m_context, "Test sound", &format, &map);
    if (!m_stream) {
        m_error = pa_strerror(pa_context_errno(m_context));
        return false;
    }
    pa_stream_set_state_callback(m_stream, streamChanged, m_loop);
    m_frameBytes = int(pa_frame_size(&format));
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(pa_usec_t(bufferMs) * 1000, &format));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    // Laid out as the device is, the stream must reach each speaker as it is: a server that
    // remixes spreads a stereo test over the centre and the subwoofer. Nor may the server move
    // it to another device: the move cuts the sound mid-wave (a click on both devices) and
    // lands it in a layout it was not made for; the next press moves it, with fades.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                         (ownLayout ? PA_STREAM_NO_REMIX_CHANNELS : 0));
    if (pa_stream_connect_playback(m_stream, device.name.c_str(), &attr, flags, nullptr, nullptr) <
        0) {
        m_error = pa_strerror(pa_context_errno(m_context));
        pa_stream_unref(m_stream);
        m_stream = nullptr;
        return false;
    }
    const bool ready = awaitReady([this] {
        const pa_stream_state_t state = pa_stream_get_state(m_stream);
        return state == PA_STREAM_READY   ? Progress::Ready
               : PA_STREAM_IS_GOOD(state) ? Progress::Pending
                                          : Progress::Failed;
    });
    if (!ready)
        close();
    return ready;
}

void PulseOutput::close()
{
    if (!m_stream)
        return;
    Locked locked(m_loop);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

bool PulseOutput::lost() const
{
    if (!m_stream)
        return true;
    Locked locked(m_loop);
    return pa_context_get_state(m_context) != PA_CONTEXT_READY ||
           pa_stream_get_state(m_stream) != PA_STREAM_READY;
}

qsizetype PulseOutput::bufferBytes() const
{
    if (!m_stream)
        return 0;
    Locked locked(m_loop);
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(m_stream);
    return attr ? qsizetype(attr->tlength) / m_frameBytes * m_frameBytes : 0;
}

qsizetype PulseOutput::bytesFree() const
{
    if (!m_stream)
        return 0;
    Locked locked(m_loop);
    const size_t free = pa_stream_writable_size(m_stream);
    return free == size_t(-1) ? 0 : qsizetype(free) / m_frameBytes * m_frameBytes;
}

qsizetype PulseOutput::write(const char* data, qsizetype bytes)
{
    if (!m_stream)
        return -1;
    Locked locked(m_loop);
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return -1;
    const size_t free = pa_stream_writable_size(m_stream);
    if (free == size_t(-1))
        return -1;
    const size_t taken =
        std::min(size_t(bytes), free) / size_t(m_frameBytes) * size_t(m_frameBytes);
    if (taken > 0 && pa_stream_write(m_stream, data, taken, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return -1;
    return qsizetype(taken);
}

void PulseOutput::setCorked(bool corked)
{
    if (!m_stream)
        return;
    Locked locked(m_loop);
    if (pa_operation* op = pa_stream_cork(m_stream, corked ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(op);
}
