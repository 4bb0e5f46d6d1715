#pragma once

#include "ChannelRouting.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A device at the sound server, as a stream to it is laid out.
struct OutputDevice {
    std::string name;
    int rate = 0;               // its own, or 44.1 kHz where it reports none usable
    SpeakerLayout speakers;     // in the device's channel order
    std::vector<int> positions; // the server's names of its channels, in the same order
    bool operator==(const OutputDevice&) const = default;
};

// What an output tells the engine. Delivered on the output's own thread (libpulse's, with its
// lock held; a connection or stream refused at once is told on the caller's), so an
// implementation only takes note and wakes the engine's thread, which then
// hands it to the state machine. An event may arrive late, after the stream it was about has
// been closed, so each is a hint to look at the output again rather than a fact.
class OutputEvents {
public:
    virtual ~OutputEvents() = default;
    // The server answered the connection: the default device is known, or known to be none.
    virtual void outputConnected() = 0;
    // The stream asked for by open() takes sound.
    virtual void outputReady() = 0;
    // The server asks for more sound: writableFrames() has room.
    virtual void outputWantsData() = 0;
    // The stream ran dry: the server played silence. `late`: the server had asked for the
    // sound in time and was answered late; otherwise it asked too late, or not at all.
    virtual void outputUnderflow(bool late) = 0;
    // The server moved the stream to another device (the user did, or the default changed):
    // see streamDevice().
    virtual void outputMoved() = 0;
    // The server went away, or refused or failed the stream: see failed() and error().
    virtual void outputLost() = 0;
};

// The engine's way to one playback stream at a sound server. Every call returns at once;
// what the server answers comes back as an event. Calls that fill in an OutputDevice assign
// to it, so that one made roomy beforehand is filled without allocating.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Connects to the server; outputConnected() or outputLost() follows.
    virtual void connect() = 0;
    // Drops the stream and the connection.
    virtual void disconnect() = 0;
    virtual bool connected() const = 0;
    // The device that plays by default, as the server last reported it; false when none.
    virtual bool defaultDevice(OutputDevice& device) const = 0;

    // Opens a stream of 16-bit frames laid out as `layout` at `rate`, keeping about `queue`
    // queued, where the server's policy puts it: the device the user chose for this program,
    // else the default device; outputReady() or outputLost() follows. It starts corked, so that
    // its first queue is written before the server plays any of it. `device` is where it is
    // expected to go: a stream laid out as that device is passed to its speakers unmixed.
    // `onDevice`: asked for on `device` itself, which the user has just moved a test to and
    // the server may not have recorded as the user's choice yet; not recorded as one by that.
    virtual void open(const OutputDevice& device, const SpeakerLayout& layout, int rate,
                      std::chrono::microseconds queue, bool onDevice) = 0;
    virtual void close() = 0;
    // The device the stream plays on: known soon after it is ready (told as a move), and after
    // each move; false while unknown.
    virtual bool streamDevice(OutputDevice& device) const = 0;
    // What the stream is called in the desktop's mixer: the test that plays.
    virtual void setStreamName(const std::string& name) = 0;
    // The connection or the stream has failed since it was made; error() says why.
    virtual bool failed() const = 0;
    virtual std::string error() const = 0;

    // Frames the stream takes now, and frames written that the server has not played yet (as
    // the server's timing tells: its queue and the device's).
    virtual std::size_t writableFrames() const = 0;
    virtual std::size_t queuedFrames() const = 0;
    // Queues up to writableFrames() interleaved frames; returns queuedFrames() after it.
    virtual std::size_t write(const std::int16_t* frames, std::size_t count) = 0;
    // What was written is all there is until the next write: the stream runs dry on purpose,
    // and its requests until then are not waited on.
    virtual void endOfSound() = 0;
    // Frames at the end of what was written that the server has not taken yet, less a margin
    // for a take on its way: what rewrite() may write over.
    virtual std::size_t rewritableFrames() const = 0;
    // Writes `count` frames (at most rewritableFrames()) over the last `count` written.
    virtual void rewrite(const std::int16_t* frames, std::size_t count) = 0;
    // How much the stream keeps queued from now on.
    virtual void setQueue(std::chrono::microseconds queue) = 0;
    // A corked stream plays nothing and drops what it held; the server may suspend the device.
    // Uncorked, it starts at once on what it holds.
    virtual void setCorked(bool corked) = 0;
};
