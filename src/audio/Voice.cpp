#include "Voice.h"

#include "NativeName.h"

#include <algorithm>
#include <cmath>
#include <samplerate.h>
#ifdef Q_OS_WIN
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>
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

Speaker speakerFor(int position)
{
    switch (position) {
    case SF_CHANNEL_MAP_MONO:
        return Speaker::Mono;
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
        return Speaker::FrontLeft;
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
        return Speaker::FrontRight;
    case SF_CHANNEL_MAP_CENTER:
    case SF_CHANNEL_MAP_FRONT_CENTER:
        return Speaker::FrontCentre;
    case SF_CHANNEL_MAP_LFE:
        return Speaker::Lfe;
    case SF_CHANNEL_MAP_REAR_LEFT:
        return Speaker::RearLeft;
    case SF_CHANNEL_MAP_REAR_RIGHT:
        return Speaker::RearRight;
    case SF_CHANNEL_MAP_REAR_CENTER:
        return Speaker::RearCentre;
    case SF_CHANNEL_MAP_SIDE_LEFT:
        return Speaker::SideLeft;
    case SF_CHANNEL_MAP_SIDE_RIGHT:
        return Speaker::SideRight;
    default:
        return Speaker::Other;
    }
}

// The layout the file declares (WAVE_FORMAT_EXTENSIBLE, CAF, ...), else the standard one for
// its format and channel count; channels it leaves undeclared take their standard place, and a
// declared layout that places nothing the program knows is not trusted. One channel is mono,
// whatever it says: tools often declare it as the centre.
SpeakerLayout layoutOf(SNDFILE* file, const SF_INFO& info)
{
    const int channels = info.channels;
    const SpeakerLayout standard = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG
                                       ? vorbisLayout(channels)
                                       : standardLayout(channels);
    std::vector<int> positions(std::size_t(channels), SF_CHANNEL_MAP_INVALID);
    if (channels > 1 && sf_command(file, SFC_GET_CHANNEL_MAP_INFO, positions.data(),
                                   int(positions.size() * sizeof(int))) == SF_TRUE) {
        SpeakerLayout layout;
        for (std::size_t c = 0; c < positions.size(); ++c)
            layout.push_back(positions[c] == SF_CHANNEL_MAP_INVALID ? standard[c]
                                                                    : speakerFor(positions[c]));
        if (std::any_of(layout.begin(), layout.end(),
                        [](Speaker s) { return s != Speaker::Other; }))
            return layout;
    }
    return standard;
}

} // namespace

Voice::Voice(const QString& path)
{
    SF_INFO info{};
#ifdef Q_OS_WIN
    // The wide-character open reaches names outside the ANSI code page.
    m_file = sf_wchar_open(reinterpret_cast<LPCWSTR>(path.utf16()), SFM_READ, &info);
#else
    m_file = sf_open(encodeFileName(path).constData(), SFM_READ, &info);
#endif
    if (!m_file)
        throw std::runtime_error(sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(m_file);
        throw std::runtime_error("the file holds no sound");
    }
    m_channels = std::size_t(info.channels);
    m_fileRate = info.samplerate;
    m_layout = layoutOf(m_file, info);
    int error = 0;
    m_resampler = src_new(SRC_SINC_FASTEST, info.channels, &error);
    if (!m_resampler) {
        sf_close(m_file);
        throw std::runtime_error(src_strerror(error));
    }
    setOutput(m_fileRate, standardLayout(2));
}

Voice::~Voice()
{
    src_delete(m_resampler);
    sf_close(m_file);
}

void Voice::setOutput(int rate, const SpeakerLayout& layout)
{
    m_outputRate = rate;
    m_fadeInTotal = std::size_t(kFadeSeconds * rate);
    m_routing = ChannelRouting(m_layout, layout);
}

void Voice::fadeOut(std::size_t frames)
{
    if (m_fadingOut)
        return;
    m_fadingOut = true;
    m_fadeOutTotal = std::max<std::size_t>(frames, 1);
    m_fadeOutLeft = m_fadeOutTotal;
}

bool Voice::refill(std::size_t wanted, bool loop)
{
    // Keep the unread tail, then append the decoded frames.
    m_input.erase(m_input.begin(), m_input.begin() + std::ptrdiff_t(m_inputUsed * m_channels));
    m_inputUsed = 0;
    m_decoded.resize(wanted * m_channels);
    sf_count_t got = sf_readf_float(m_file, m_decoded.data(), sf_count_t(wanted));
    if (got <= 0 && loop && sf_seek(m_file, 0, SEEK_SET) == 0)
        got = sf_readf_float(m_file, m_decoded.data(), sf_count_t(wanted));
    if (got <= 0) {
        m_endOfInput = true;
        return false;
    }
    m_input.insert(m_input.end(), m_decoded.begin(),
                   m_decoded.begin() + std::ptrdiff_t(std::size_t(got) * m_channels));
    return true;
}

std::size_t Voice::produce(float* dest, std::size_t frames, double rate, bool loop)
{
    std::size_t produced = 0;
    if (m_bypass) {
        while (produced < frames) {
            std::size_t pending = m_input.size() / m_channels - m_inputUsed;
            if (pending == 0 &&
                (m_endOfInput || !refill(std::max<std::size_t>(frames - produced, 1024), loop)))
                break;
            pending = m_input.size() / m_channels - m_inputUsed;
            const std::size_t n = std::min(pending, frames - produced);
            std::copy_n(m_input.data() + m_inputUsed * m_channels, n * m_channels,
                        dest + produced * m_channels);
            m_inputUsed += n;
            produced += n;
        }
        return produced;
    }
    const double ratio = double(m_outputRate) / (double(m_fileRate) * rate);
    while (produced < frames) {
        const std::size_t pending = m_input.size() / m_channels - m_inputUsed;
        if (pending == 0 && !m_endOfInput) {
            const std::size_t needed = std::size_t(double(frames - produced) / ratio) + 64;
            refill(std::clamp<std::size_t>(needed, 256, 1 << 16), loop);
        }
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
        if (data.output_frames_gen == 0 && data.input_frames_used == 0 && m_endOfInput)
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

bool Voice::mixInto(float* out, std::size_t frames, const float* gain, double rate, bool loop)
{
    if (m_finished)
        return false;
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
    while (done < frames && !m_finished) {
        std::size_t chunk = frames - done;
        // Change path exactly at the bottom of the duck.
        if (m_switching && m_duck < m_duckFrames)
            chunk = std::min(chunk, m_duckFrames - m_duck);
        const std::size_t produced =
            produce(m_output.data() + done * m_channels, chunk, rate, loop);
        for (std::size_t i = done; i < done + produced; ++i) {
            const float scale = envelopeStep() * gain[i];
            const float* frame = &m_output[i * m_channels];
            float* target = out + i * outputs;
            for (const ChannelRouting::Tap& tap : m_routing.taps())
                target[tap.output] += frame[tap.input] * tap.gain * scale;
            if (m_fadingOut && m_fadeOutLeft == 0) {
                m_finished = true;
                break;
            }
        }
        done += produced;
        if (m_switching && m_duck == m_duckFrames && m_bypass != bypassWanted) {
            m_bypass = bypassWanted;
            if (!m_bypass)
                src_reset(m_resampler);
        }
        if (produced < chunk)
            m_finished = true;
    }
    return !m_finished;
}
