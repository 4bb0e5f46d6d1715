#pragma once

#include "AudioOutput.h"
#include "LatenessJudge.h"

#include <pulse/sample.h>

struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_threaded_mainloop;

// The output on libpulse: one stream at the sound server (PulseAudio, or PipeWire's PulseAudio
// server), run by libpulse's own thread. Calls take that thread's lock for a moment and never
// wait for the server; the server's answers, its requests for sound, underflows, moves and
// failures reach `events` on libpulse's thread, with the lock held, so they must be passed
// on, not acted on there. The stream carries the program's name, id and icon and the test's
// name, with the role of a test sound, so the desktop's mixer shows what plays; the user may
// move it to another device at any time. A stream that runs dry is left to wait for more (nothing
// is drained), so the next sound written starts at once; a corked one is flushed. What the stream
// holds is read from the server's timing of it, asked for while sound is written.
class PulseOutput final : public AudioOutput {
public:
    explicit PulseOutput(OutputEvents& events);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    void connect() override;
    void disconnect() override;
    bool connected() const override;
    bool defaultDevice(OutputDevice& device) const override;
    void open(const OutputDevice& device, const SpeakerLayout& layout, int rate,
              std::chrono::microseconds queue, bool onDevice) override;
    void close() override;
    bool streamDevice(OutputDevice& device) const override;
    void setStreamName(const std::string& name) override;
    bool failed() const override;
    std::string error() const override;
    std::size_t writableFrames() const override;
    std::size_t queuedFrames() const override;
    std::size_t write(const std::int16_t* frames, std::size_t count) override;
    void endOfSound() override;
    std::size_t rewritableFrames() const override;
    void rewrite(const std::int16_t* frames, std::size_t count) override;
    void setQueue(std::chrono::microseconds queue) override;
    void setCorked(bool corked) override;

    // libpulse's callbacks, on its thread.
    struct Callbacks;

private:
    void closeStream();
    void dropContext();
    void askDefaultDevice();
    void askStreamDevice();
    void fail();
    void renameStream();
    std::size_t held() const;

    OutputEvents& m_events;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    // Below: guarded by libpulse's lock.
    std::optional<OutputDevice> m_default;
    std::optional<OutputDevice> m_candidate; // the answer being received
    std::optional<OutputDevice> m_streamDevice;
    pa_operation* m_streamDeviceQuery = nullptr; // cancelled with its stream
    std::string m_streamName = "Test sound";
    std::string m_named;     // the name the server has for the stream
    bool m_answered = false; // the first question about the default device was answered
    bool m_failed = false;
    std::string m_error;
    int m_frameBytes = 0;
    LatenessJudge m_judge;
    LatenessJudge::Clock::time_point m_timingAskedAt; // the server's timing was last asked for
    bool m_loopRaised = false; // libpulse's thread runs at the real-time priority
};
