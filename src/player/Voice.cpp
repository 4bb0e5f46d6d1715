#include "player/Voice.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <samplerate.h>
#include <sndfile.h>
#include <stdexcept>

namespace {

constexpr double kFadeSeconds = 0.005;
constexpr double kPi = 3.14159265358979323846;

// Raised-cosine envelope: 0 at position 0, 1 at position `total`.
float rise(std::size_t position, std::size_t total)
{
    if (position >= total)
        return 1.0f;
    return float(0.5 - 0.5 * std::cos(kPi * double(position) / double(total)));
}

} // namespace

Voice::Voice(const QString& path, int outputRate) : m_outputRate(outputRate)
{
    SF_INFO info{};
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!m_file)
        throw std::runtime_error(sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(m_file);
        throw std::runtime_error("the file holds no sound");
    }
    m_fileChannels = info.channels;
    m_fileRate = info.samplerate;
    int error = 0;
    m_resampler = src_new(SRC_SINC_FASTEST, 2, &error);
    if (!m_resampler) {
        sf_close(m_file);
        throw std::runtime_error(src_strerror(error));
    }
    m_fadeInTotal = std::size_t(kFadeSeconds * outputRate);
}

Voice::~Voice()
{
    src_delete(m_resampler);
    sf_close(m_file);
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
    // Keep the unread tail, then append decoded frames as stereo.
    m_input.erase(m_input.begin(), m_input.begin() + std::ptrdiff_t(m_inputUsed * 2));
    m_inputUsed = 0;
    m_decoded.resize(wanted * std::size_t(m_fileChannels));
    sf_count_t got = sf_readf_float(m_file, m_decoded.data(), sf_count_t(wanted));
    if (got <= 0 && loop && sf_seek(m_file, 0, SEEK_SET) == 0)
        got = sf_readf_float(m_file, m_decoded.data(), sf_count_t(wanted));
    if (got <= 0) {
        m_endOfInput = true;
        return false;
    }
    const std::size_t channels = std::size_t(m_fileChannels);
    for (sf_count_t i = 0; i < got; ++i) {
        const float* frame = &m_decoded[std::size_t(i) * channels];
        m_input.push_back(frame[0]);
        m_input.push_back(channels > 1 ? frame[1] : frame[0]);
    }
    return true;
}

bool Voice::mixInto(float* out, std::size_t frames, const float* gain, double rate, bool loop)
{
    if (m_finished)
        return false;
    const double ratio = double(m_outputRate) / (double(m_fileRate) * rate);
    m_output.resize(frames * 2);
    std::size_t produced = 0;
    while (produced < frames) {
        const std::size_t pending = m_input.size() / 2 - m_inputUsed;
        if (pending == 0 && !m_endOfInput) {
            const std::size_t needed = std::size_t(double(frames - produced) / ratio) + 64;
            refill(std::clamp<std::size_t>(needed, 256, 1 << 16), loop);
        }
        SRC_DATA data{};
        data.data_in = m_input.data() + m_inputUsed * 2;
        data.input_frames = long(m_input.size() / 2 - m_inputUsed);
        data.data_out = m_output.data() + produced * 2;
        data.output_frames = long(frames - produced);
        data.end_of_input = m_endOfInput ? 1 : 0;
        data.src_ratio = ratio;
        if (src_process(m_resampler, &data) != 0) {
            m_finished = true;
            break;
        }
        m_inputUsed += std::size_t(data.input_frames_used);
        produced += std::size_t(data.output_frames_gen);
        if (data.output_frames_gen == 0 && data.input_frames_used == 0 && m_endOfInput) {
            m_finished = true;
            break;
        }
    }

    for (std::size_t i = 0; i < produced; ++i) {
        float envelope = rise(m_fadeInDone, m_fadeInTotal);
        if (m_fadeInDone < m_fadeInTotal)
            ++m_fadeInDone;
        if (m_fadingOut) {
            envelope *= m_fadeOutLeft ? rise(m_fadeOutLeft, m_fadeOutTotal) : 0.0f;
            if (m_fadeOutLeft)
                --m_fadeOutLeft;
        }
        out[2 * i] += m_output[2 * i] * envelope * gain[i];
        out[2 * i + 1] += m_output[2 * i + 1] * envelope * gain[i];
        if (m_fadingOut && m_fadeOutLeft == 0) {
            m_finished = true;
            break;
        }
    }
    return !m_finished;
}
