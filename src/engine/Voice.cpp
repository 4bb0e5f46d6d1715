#include "Voice.h"

#include "AudioEngine.h"
#include "FileReader.h"

#include <algorithm>
#include <cmath>
#include <samplerate.h>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Raised-cosine envelope: 0 at position 0, 1 at position `total`.
float rise(std::size_t position, std::size_t total)
{
    if (position >= total)
        return 1.0f;
    return float(0.5 - 0.5 * std::cos(kPi * double(position) / double(total)));
}

} // namespace

Voice::Voice(std::shared_ptr<FileReader> reader)
    : m_reader(std::move(reader)), m_channels(std::size_t(m_reader->channels())),
      m_layout(m_reader->layout()), m_routing(m_layout, standardLayout(2)),
      m_fileRate(m_reader->rate())
{
    int error = 0;
    m_resampler = src_new(SRC_SINC_FASTEST, m_reader->channels(), &error);
    if (!m_resampler)
        throw std::runtime_error(src_strerror(error));
    setOutput(m_fileRate, standardLayout(2));
    // What keepAhead() wants at most: a block and a fade's reserve at the fastest rate, played
    // to the lowest output rate. Read in pieces of at least 1024 frames on top of what is left.
    const double perFrame = double(Playback::kMaxRate) * m_fileRate / kLowestOutputRate;
    m_mostWanted = std::size_t(double(kRenderBlock) * perFrame +
                               kFadeSeconds * Playback::kMaxRate * m_fileRate) +
                   64 + 1;
    m_input.reserve((2 * m_mostWanted + 1024) * m_channels);
    m_decoded.reserve(std::max<std::size_t>(m_mostWanted, 1024) * m_channels);
    m_output.reserve(kRenderBlock * m_channels);
}

Voice::~Voice()
{
    src_delete(m_resampler);
    m_reader->letGo();
}

void Voice::setOutput(int rate, const SpeakerLayout& layout)
{
    m_outputRate = rate;
    m_fadeInTotal = std::size_t(kFadeSeconds * rate);
    m_routing.route(m_layout, layout);
}

void Voice::fadeOut(std::size_t frames)
{
    // A fade towards a hold ends the voice instead; a voice held in silence ends at once.
    m_holding = false;
    if (m_held)
        m_finished = true;
    if (m_fadingOut)
        return;
    m_fadingOut = true;
    m_fadeOutTotal = std::max<std::size_t>(frames, 1);
    m_fadeOutLeft = m_fadeOutTotal;
}

void Voice::hold(std::size_t frames)
{
    if (m_fadingOut)
        return;
    fadeOut(frames);
    m_holding = true;
}

void Voice::resume()
{
    if (!m_held)
        return;
    m_held = m_holding = m_fadingOut = false;
    m_fadeInDone = 0;
    // The path is chosen afresh for the new output, from silence.
    m_started = false;
    m_switching = false;
    src_reset(m_resampler);
}

bool Voice::refill(std::size_t wanted, bool loop)
{
    // Keep the unread tail, then append the decoded frames.
    m_input.erase(m_input.begin(), m_input.begin() + std::ptrdiff_t(m_inputUsed * m_channels));
    m_inputUsed = 0;
    m_decoded.resize(wanted * m_channels);
    const std::size_t got = m_reader->read(m_decoded.data(), wanted, loop);
    if (got == 0) {
        // At the end, or the file's reads are behind.
        m_endOfInput = m_reader->ended();
        return false;
    }
    m_input.insert(m_input.end(), m_decoded.begin(),
                   m_decoded.begin() + std::ptrdiff_t(std::size_t(got) * m_channels));
    return true;
}

// Keeps more of the file's frames at hand than the next `frames` output frames take, plus a
// reserve as long as a fade; when the reads have fallen behind (a stalled disk), the voice
// fades out over that reserve and ends, instead of being cut.
void Voice::keepAhead(std::size_t frames, double rate, bool loop)
{
    const double perFrame = double(m_fileRate) * rate / double(m_outputRate);
    const auto reserve = std::size_t(double(m_fadeInTotal) * perFrame) + 64;
    const auto wanted = std::size_t(double(frames) * perFrame) + reserve;
    std::size_t pending = m_input.size() / m_channels - m_inputUsed;
    while (pending < wanted && !m_endOfInput) {
        if (!refill(std::clamp<std::size_t>(wanted - pending, 1024,
                                            std::max<std::size_t>(m_mostWanted, 1024)),
                    loop)) {
            if (!m_endOfInput)
                fadeOut(m_fadeInTotal);
            return;
        }
        pending = m_input.size() / m_channels - m_inputUsed;
    }
}

std::size_t Voice::produce(float* dest, std::size_t frames, double rate, bool loop)
{
    keepAhead(frames, rate, loop);
    std::size_t produced = 0;
    if (m_bypass) {
        const std::size_t n = std::min(m_input.size() / m_channels - m_inputUsed, frames);
        std::copy_n(m_input.data() + m_inputUsed * m_channels, n * m_channels, dest);
        m_inputUsed += n;
        return n;
    }
    const double ratio = double(m_outputRate) / (double(m_fileRate) * rate);
    while (produced < frames) {
        SRC_DATA data{};
        data.data_in = m_input.data() + m_inputUsed * m_channels;
        data.input_frames = long(m_input.size() / m_channels - m_inputUsed);
        data.data_out = dest + produced * m_channels;
        data.output_frames = long(frames - produced);
        data.end_of_input = m_endOfInput ? 1 : 0;
        data.src_ratio = ratio;
        if (src_process(m_resampler, &data) != 0)
            break;
        m_inputUsed += std::size_t(data.input_frames_used);
        produced += std::size_t(data.output_frames_gen);
        // At the end, or waiting for the file's reads.
        if (data.output_frames_gen == 0 && data.input_frames_used == 0)
            break;
    }
    return produced;
}

float Voice::envelopeStep()
{
    float envelope = rise(m_fadeInDone, m_fadeInTotal);
    if (m_fadeInDone < m_fadeInTotal)
        ++m_fadeInDone;
    if (m_fadingOut) {
        envelope *= m_fadeOutLeft ? rise(m_fadeOutLeft, m_fadeOutTotal) : 0.0f;
        if (m_fadeOutLeft)
            --m_fadeOutLeft;
    }
    if (m_switching) {
        envelope *= m_duck < m_duckFrames ? rise(m_duckFrames - m_duck, m_duckFrames)
                                          : rise(m_duck - m_duckFrames, m_duckFrames);
        if (++m_duck == 2 * m_duckFrames)
            m_switching = false;
    }
    return envelope;
}

bool Voice::mixInto(float* out, std::size_t frames, double rate, bool loop)
{
    if (m_finished)
        return false;
    if (m_held)
        return true;
    const bool bypassWanted = rate == 1.0 && m_fileRate == m_outputRate;
    if (!m_started) {
        m_started = true;
        m_bypass = bypassWanted;
        m_duckFrames = std::max<std::size_t>(m_fadeInTotal / 2, 1);
    } else if (bypassWanted != m_bypass && !m_switching) {
        m_switching = true;
        m_duck = 0;
    }
    m_output.resize(frames * m_channels);
    const auto outputs = std::size_t(m_routing.outputs());
    std::size_t done = 0;
    while (done < frames && !m_finished && !m_held) {
        std::size_t chunk = frames - done;
        // Change path exactly at the bottom of the duck.
        if (m_switching && m_duck < m_duckFrames)
            chunk = std::min(chunk, m_duckFrames - m_duck);
        std::size_t produced = produce(m_output.data() + done * m_channels, chunk, rate, loop);
        if (produced < chunk && !m_endOfInput) {
            // Reads further behind than the reserve (at a high rate): silence while the fade
            // ends the voice.
            std::fill(m_output.begin() + std::ptrdiff_t((done + produced) * m_channels),
                      m_output.begin() + std::ptrdiff_t((done + chunk) * m_channels), 0.0f);
            produced = chunk;
        }
        for (std::size_t i = done; i < done + produced; ++i) {
            const float scale = envelopeStep();
            const float* frame = &m_output[i * m_channels];
            float* target = out + i * outputs;
            for (const ChannelRouting::Tap& tap : m_routing.taps())
                target[tap.output] += frame[tap.input] * tap.gain * scale;
            if (m_fadingOut && m_fadeOutLeft == 0) {
                (m_holding ? m_held : m_finished) = true;
                break;
            }
        }
        done += produced;
        if (m_switching && m_duck == m_duckFrames && m_bypass != bypassWanted) {
            m_bypass = bypassWanted;
            if (!m_bypass)
                src_reset(m_resampler);
        }
        if (produced < chunk && !m_held)
            m_finished = true;
    }
    return !m_finished;
}
