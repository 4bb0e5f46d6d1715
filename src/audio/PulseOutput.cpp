#include "PulseOutput.h"

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

} // namespace

PulseOutput::PulseOutput() : m_loop(pa_threaded_mainloop_new())
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
    if (!ready)
        dropContext();
    return ready;
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
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

bool PulseOutput::open(int rate, int channels, int bufferMs)
{
    if (!m_loop)
        return false;
    close();
    Locked locked(m_loop);
    if (!connectContext())
        return false;
    const pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(rate), uint8_t(channels)};
    pa_channel_map map;
    pa_channel_map_init_auto(&map, unsigned(channels), PA_CHANNEL_MAP_WAVEEX);
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
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0) {
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
