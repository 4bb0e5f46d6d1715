#pragma once

#include "ChannelRouting.h"

#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// One playback stream at the sound server (PulseAudio, or PipeWire's PulseAudio server), on
// libpulse's own thread. Used from one thread; every call returns within a round trip to the
// server. A stream that runs dry is left to wait for more (nothing is drained or flushed), so
// the next sound written starts at once.
class PulseOutput {
public:
    // A device at the server, as a stream to it is laid out.
    struct Device {
        std::string name;
        int rate = 0;               // its own, or 44.1 kHz where it reports none usable
        SpeakerLayout speakers;     // in the device's channel order
        std::vector<int> positions; // the server's names of its channels, in the same order
        bool operator==(const Device&) const = default;
    };
    // What the server library's thread keeps known about the default device.
    struct DeviceWatch;

    PulseOutput();
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // The device that plays by default: asked of the server when connecting, then kept up to
    // date as the server reports changes, so that asking costs no round trip. Connects if
    // needed; nothing when there is no server or no device (error() tells why).
    std::optional<Device> defaultDevice();
    // Opens a stream of 16-bit frames to `device` at its rate that keeps about `bufferMs`
    // queued, laid out as outputLayoutFor(device.speakers); the server passes each channel to
    // the device's channel of the same name and mixes nothing. False when there is no server or
    // it refuses the stream.
    bool open(const Device& device, int bufferMs);
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
    // Subscribes to device changes and waits for the first answer about the default device.
    bool watchDevices();
    // Waits on the server, with the lock held, until `progress` is no longer pending or the
    // server has not answered in time; keeps the reason when it did not get ready.
    bool awaitReady(const std::function<Progress()>& progress);
    void dropContext();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    std::unique_ptr<DeviceWatch> m_watch;
    int m_frameBytes = 0;
    const char* m_error = "";
};
