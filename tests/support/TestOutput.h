#pragma once

#include "AudioOutput.h"
#include "EngineClock.h"
#include "EngineStateMachine.h"
#include "FileReader.h"
#include "Voice.h"
#include "VoiceBin.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A clock that moves only when the test moves it.
class ManualClock : public EngineClock {
public:
    time_point now() const override { return m_now; }
    void advance(std::chrono::nanoseconds by) { m_now += by; }

private:
    time_point m_now{std::chrono::seconds(1000)};
};

// A sound server the test runs block by block: it answers (or not) the connection and the
// stream, asks for sound before every block it plays, plays what was queued and silence where
// nothing was, and reports an underflow when a playing stream runs dry (after which, as a
// PulseAudio stream, it waits for a full queue before playing again). What each device plays
// is kept, sample by sample, on one timeline for all devices. Its own work is never counted as
// the engine's allocations (see Allocations.h).
class TestOutput final : public AudioOutput {
public:
    explicit TestOutput(OutputDevice device);

    OutputEvents* events = nullptr;
    bool answerConnect = true; // else the server takes the connection and never answers
    bool answerOpen = true;
    bool answeredLate = false; // an underflow follows a request answered late, not none

    // Delivers the events waiting, as the sound thread does, until none is left.
    void deliver();
    // The server's next block of `frames` frames; `ask`: it asks for sound first.
    void playBlock(std::size_t frames, bool ask = true);

    // A connection left unanswered is answered now.
    void answerConnection();
    // The user (or the desktop) makes another device the default. `follow`: the server moves
    // a stream it placed there, as PulseAudio and WirePlumber do.
    void setDefault(const OutputDevice& device, bool follow = true);
    // The user moves the stream to `device` (which is then this program's own choice, where
    // the server places its streams from now on, unless it is the default device), or chooses
    // it while nothing plays.
    void move(const OutputDevice& device);
    // As WirePlumber: the user's move is taken for the program's choice only later, when
    // recordMoves() is called.
    bool recordsMovesLate = false;
    void recordMoves();
    void choose(const OutputDevice& device);
    // The server goes away.
    void fail(const std::string& why);

    // What each device has played so far, by device name then channel, as floats.
    std::map<std::string, std::vector<std::vector<float>>> heard;
    std::vector<float>& heardOn(const std::string& device, std::size_t channel)
    {
        return heard[device][channel];
    }
    std::size_t position() const { return m_position; }

    int connects = 0;
    int opens = 0;
    bool corked = false;
    bool streamOpen() const { return m_stream.has_value(); }
    SpeakerLayout openedLayout() const { return m_stream ? m_stream->layout : SpeakerLayout{}; }
    std::string streamName;
    std::chrono::microseconds queue() const { return m_queue; }
    std::size_t framesWritten = 0;
    // Writes beyond what the stream took, or over what it has played (a fault of the engine).
    int overruns = 0;
    int rewrites = 0;
    int endsOfSound = 0; // told that the stream runs dry on purpose

    // AudioOutput.
    void connect() override;
    void disconnect() override;
    bool connected() const override;
    bool defaultDevice(OutputDevice& device) const override;
    void open(const OutputDevice& device, const SpeakerLayout& layout, int rate,
              std::chrono::microseconds queue, bool onDevice) override;
    void close() override;
    bool streamDevice(OutputDevice& device) const override;
    void setStreamName(const std::string& name) override { streamName = name; }
    bool failed() const override;
    std::string error() const override { return m_error; }
    std::size_t writableFrames() const override;
    std::size_t queuedFrames() const override;
    std::size_t write(const std::int16_t* frames, std::size_t count) override;
    void endOfSound() override { ++endsOfSound; }
    std::size_t rewritableFrames() const override;
    void rewrite(const std::int16_t* frames, std::size_t count) override;
    void setQueue(std::chrono::microseconds queue) override;
    void setCorked(bool corked) override;

private:
    struct Stream {
        OutputDevice device;
        SpeakerLayout layout;
        int rate;
        bool ready = false;
        bool placed = false;  // by the server: it follows the default device
        bool playing = false; // past its start, or refilled after running dry
        std::deque<std::int16_t> queued;
    };
    std::size_t targetFrames() const;
    void play(std::size_t frames);
    void post(std::function<void(OutputEvents&)> event) { m_events.push_back(std::move(event)); }
    void know(const OutputDevice& device);

    std::optional<OutputDevice> m_default;
    std::optional<OutputDevice> m_chosen;
    std::optional<Stream> m_stream;
    bool m_connected = false;
    bool m_failed = false;
    std::string m_error;
    std::chrono::microseconds m_queue{0};
    std::size_t m_position = 0;
    std::optional<OutputDevice> m_unrecorded; // a move not yet recorded as the user's choice
    int m_serial = 0; // of the connection and stream, so that a late answer changes nothing
    std::deque<std::function<void(OutputEvents&)>> m_events;
};

// Keeps the voices the engine is done with, in room made beforehand.
struct KeptVoices final : VoiceBin {
    KeptVoices() { kept.reserve(256); }
    void discard(std::unique_ptr<Voice> voice) override { kept.push_back(std::move(voice)); }
    std::vector<std::unique_ptr<Voice>> kept;
};

// The engine's state machine on a test output and a test clock.
struct EngineRig {
    explicit EngineRig(OutputDevice device,
                       std::chrono::milliseconds warm = std::chrono::seconds(3));
    ~EngineRig();

    // A voice for `path`, read ahead as the program reads its files: here the rig decodes
    // ahead before every block (the file's reads keep up) unless `readsStall`.
    std::unique_ptr<Voice> voice(const QString& path, double rate = 1);
    bool readsStall = false;

    // Runs the server and the clock for `seconds`, in blocks of 5 ms.
    void run(double seconds);

    ManualClock clock;
    TestOutput out;
    KeptVoices bin;
    std::vector<std::string> complaints; // as the engine's reports read
    std::unique_ptr<EngineStateMachine> machine;
    int rate;
    std::vector<std::weak_ptr<FileReader>> readers;
};

// Devices as the server reports them.
OutputDevice stereoDevice(const std::string& name = "stereo");
OutputDevice surround51Device(const std::string& name = "5.1");
