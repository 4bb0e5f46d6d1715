#pragma once

#include "AudioOutput.h"
#include "EngineClock.h"
#include "Mixer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Voice;
class VoiceBin;

// The engine's states, from a press to silence and back, driven by the user's requests, the
// output's events and a clock. One thread calls it; it never waits, allocates or frees (voices
// it is done with go to the bin).
//
// Closed -> Connecting -> Opening -> Corked <-> Running. At start the engine connects and opens
// a stream, corked, where the server puts it (the user's choice for this program, else the
// default device), laid out as the default device and at its rate; where it lands on a device
// laid out otherwise, it is opened again, laid out as that device. A press writes a full queue
// of the sound itself and uncorks: the server starts on a full queue. While Running it is
// written when the output asks; once the sound has ended and the output says it has been
// played, it runs dry and waits (a press within the warm spell starts at the server's next
// block), then it is corked, and the queue goes back to its start. When the user (or the
// server, following the default) moves the stream to a device laid out otherwise, what plays
// fades out, waits in silence at its place until the fade has been played, and goes on, faded
// in, on a new stream, which the server places where the stream was moved; a corked or silent
// stream is opened again at once. A lost output is closed; the next press opens it again.
//
// A gain change or a stop is heard at the server's next read: what the stream holds beyond it
// is written again, with the new gain or faded out.
//
// The queue grows when the stream runs dry while sound plays, then shrinks back slowly to where
// it started, and all the way back once the stream is corked.
class EngineStateMachine final : public OutputEvents {
public:
    enum class State { Closed, Connecting, Opening, Running, Corked };
    // What goes wrong, for one line on standard error (see describe()).
    enum class Report { RanDry, NoAnswer, NoDevice, CannotOpen, Lost };
    struct Timing {
        std::chrono::milliseconds warm{3000};      // uncorked after the last sound
        std::chrono::milliseconds openLimit{2000}; // for the whole open: connection and stream
        // Where the queue starts and shrinks back to. What it holds when the server asks is
        // what a late wake-up may take: on a two-core virtual machine even a real-time thread
        // now and then wakes 10-20 ms late, and a 40 ms queue ran dry in a few of 50 presses.
        // It costs a press, a gain change or a stop nothing: the press writes the queue
        // before the stream starts, the others write over it.
        std::chrono::microseconds minQueue{80000};
        std::chrono::microseconds maxQueue{240000};
        std::chrono::seconds shrinkAfter{10}; // without an underflow, before the queue shrinks
    };
    using Complaint = std::function<void(Report)>;

    EngineStateMachine(AudioOutput& output, const EngineClock& clock, Timing timing, float gain,
                       VoiceBin& bin, Complaint complain);
    ~EngineStateMachine() override;

    // The line a report gives, with the output's reason where it has one.
    static std::string describe(Report report, const AudioOutput& output);

    // Connects and opens a corked stream ahead of the first press, quietly: without a server
    // the press tries again, and says why it could not.
    void prepare();

    // What the user asks for.
    void play(std::unique_ptr<Voice> voice);
    void stop();
    void setGain(float gain);
    void setRate(double rate) { m_mixer.setRate(rate); }
    void setLooping(bool loop) { m_mixer.setLooping(loop); }
    // Fades out what plays for the end of the process; exitDone() once it has been played.
    void finish();
    bool exitDone() const { return m_exitDone; }

    // When onClock() next has something to do, if ever.
    std::optional<EngineClock::time_point> deadline() const;
    void onClock();

    // OutputEvents.
    void outputConnected() override;
    void outputReady() override;
    void outputWantsData() override;
    void outputUnderflow(bool late) override;
    void outputMoved() override;
    void outputLost() override;

    State state() const { return m_state; }
    // A sound plays or is about to (its stream opening).
    bool playing() const { return m_mixer.playing() || m_pending; }
    // Times the stream ran dry while sound played, and of those the times the sound was
    // written later than the server asked for it.
    std::uint64_t underflows() const { return m_underflows; }
    std::uint64_t lateUnderflows() const { return m_lateUnderflows; }
    // Times sound was rendered: it stands still while nothing plays.
    std::uint64_t renderPasses() const { return m_renderPasses; }
    std::chrono::microseconds queue() const { return m_queue; }
    // How long what the server held of the sound at the last write takes to play.
    std::chrono::microseconds heldBack() const;

private:
    void begin();
    void open(const OutputDevice& device, bool onDevice = false);
    void reopen(const OutputDevice& device, bool moved = false);
    void start(std::unique_ptr<Voice> voice);
    void run();
    void fill();
    void takeBack(bool stopping);
    void playedOut();
    bool waiting() const;
    void arm();
    void setQueue(std::chrono::microseconds queue);
    void adaptQueue(bool ranDry);
    void dropPending();
    void close();
    void fail(Report report);

    AudioOutput& m_out;
    const EngineClock& m_clock;
    Timing m_timing;
    VoiceBin& m_bin;
    Complaint m_complain;
    Mixer m_mixer;
    State m_state = State::Closed;
    std::unique_ptr<Voice> m_pending; // waits for the stream
    // Devices: where the stream plays, where it was moved (held until the fade is played), and
    // room for what the output reports.
    OutputDevice m_device, m_relayoutTo, m_seen, m_byDefault;
    bool m_relayout = false;
    SpeakerLayout m_layout; // room for a device's layout
    bool m_finishing = false;
    bool m_exitDone = false;
    bool m_idle = true;                              // written out and played: the stream runs dry
    std::uint64_t m_written = 0;                     // frames written to the stream
    std::size_t m_held = 0;                          // frames the server held after the last write
    std::optional<std::uint64_t> m_soundEnd;         // m_written when the last sound ended
    std::optional<EngineClock::time_point> m_openBy; // while a press waits for the stream
    EngineClock::time_point m_warmUntil;
    EngineClock::time_point m_queueSettled; // since the queue last changed
    std::chrono::microseconds m_queue;
    std::uint64_t m_underflows = 0;
    std::uint64_t m_lateUnderflows = 0;
    bool m_toldDry = false; // a late underflow of this press said so
    std::uint64_t m_renderPasses = 0;
    std::vector<std::int16_t> m_frames;
};
