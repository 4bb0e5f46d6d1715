#pragma once

#include <QtGlobal>
#include <functional>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// One playback stream at the sound server (PulseAudio, or PipeWire's PulseAudio server), on
// libpulse's own thread. Used from one thread; every call returns within a round trip to the
// server. A stream that runs dry is left to wait for more (nothing is drained or flushed), so
// the next sound written starts at once.
class PulseOutput {
public:
    PulseOutput();
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Connects to the server if needed and opens a stream of 16-bit frames that keeps about
    // `bufferMs` queued. False when there is no server or it refuses the stream.
    bool open(int rate, int channels, int bufferMs);
    void close();
    bool isOpen() const { return m_stream != nullptr; }
    // The server went away or failed the stream since it was opened.
    bool lost() const;
    // Why the last open() failed, in the server library's words.
    const char* error() const { return m_error; }

    // What the stream holds when full, and how much of it is free now.
    qsizetype bufferBytes() const;
    qsizetype bytesFree() const;
    // Queues what the stream takes of `data`; the count taken, -1 when the stream failed.
    qsizetype write(const char* data, qsizetype bytes);
    // A corked stream plays nothing and holds what it has; the server may suspend the device.
    void setCorked(bool corked);

private:
    enum class Progress { Pending, Ready, Failed };
    bool connectContext();
    // Waits on the server, with the lock held, until `progress` is no longer pending or the
    // server has not answered in time; keeps the reason when it did not get ready.
    bool awaitReady(const std::function<Progress()>& progress);
    void dropContext();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    int m_frameBytes = 0;
    const char* m_error = "";
};
