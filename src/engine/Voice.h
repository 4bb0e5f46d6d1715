#pragma once

#include "ChannelRouting.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

class FileReader;
struct SRC_STATE_tag;

// One sound file being played: read through a FileReader, resampled to the output rate times the
// playback speed with libsamplerate, its channels routed to the output's, faded in at its start and
// out when it is stopped. At normal speed and the output's own rate the resampler is bypassed (it
// would cost most of the CPU while changing nothing); switching between the two paths ducks the
// sound for 5 ms so that the jump in the resampler's delay does not click.
class Voice {
public:
    // Every start, stop and switch fades over this long.
    static constexpr double kFadeSeconds = 0.005;
    // The most frames mixed at once (the mixer renders longer blocks in pieces): with it the
    // buffers a voice needs at any rate are known when it is made, off the real-time thread.
    static constexpr std::size_t kRenderBlock = 128;
    // The lowest output rate a voice is made ready for.
    static constexpr int kLowestOutputRate = 22050;

    // Plays what `reader` reads. Until setOutput() it plays to stereo at the file's own rate.
    explicit Voice(std::shared_ptr<FileReader> reader);
    ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    // The output's rate and layout. The file's channels go where its own layout says, where it
    // carries one, else by the WAVE order for their count. Set before the first frame is mixed.
    void setOutput(int rate, const SpeakerLayout& layout);

    // Adds up to `frames` (at most kRenderBlock) frames of the output's layout into `out`
    // (interleaved). Returns false once the voice has nothing more to give.
    bool mixInto(float* out, std::size_t frames, double rate, bool loop);

    // Starts a fade to silence of `frames` frames, after which the voice is finished.
    void fadeOut(std::size_t frames);
    bool finished() const { return m_finished; }
    // Fades to silence over `frames` frames and waits there, keeping its place in the file,
    // until resume() fades it in again: for the output to be laid out anew under it.
    void hold(std::size_t frames);
    bool held() const { return m_held; }
    void resume();

private:
    bool refill(std::size_t wanted, bool loop);
    void keepAhead(std::size_t frames, double rate, bool loop);
    // Raw frames of the file's channels into `dest` on the current path; fewer than asked at the
    // end.
    std::size_t produce(float* dest, std::size_t frames, double rate, bool loop);
    float envelopeStep();

    std::shared_ptr<FileReader> m_reader;
    std::size_t m_mostWanted = 0; // file frames kept at hand at most, at the fastest rate
    SRC_STATE_tag* m_resampler = nullptr;
    std::size_t m_channels = 0; // the file's
    SpeakerLayout m_layout;
    ChannelRouting m_routing;
    int m_fileRate = 0;
    int m_outputRate = 0;
    bool m_endOfInput = false;
    bool m_finished = false;
    std::vector<float> m_input;   // frames waiting for the resampler
    std::size_t m_inputUsed = 0;  // frames of m_input already consumed
    std::vector<float> m_decoded; // file frames as read
    std::vector<float> m_output;  // resampled frames
    std::size_t m_fadeInTotal = 0;
    std::size_t m_fadeInDone = 0;
    std::size_t m_fadeOutTotal = 0;
    std::size_t m_fadeOutLeft = 0;
    bool m_fadingOut = false;
    bool m_holding = false; // the fade out ends in a hold, not the end
    bool m_held = false;
    bool m_started = false;
    bool m_bypass = false;    // copying the file's frames unchanged
    bool m_switching = false; // ducking to change path
    std::size_t m_duck = 0;   // position in the duck: out over kDuck frames, then in
    std::size_t m_duckFrames = 0;
};
