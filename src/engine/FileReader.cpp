#include "FileReader.h"

#include "NativeName.h"

#include <algorithm>
#ifdef Q_OS_WIN
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>
#include <stdexcept>
#include <thread>

namespace {

// Room for 6 s at 44.1 kHz (120 ms at the fastest rate), decoded 4096 frames at a time.
constexpr std::size_t kRingFrames = 1 << 18;
constexpr std::size_t kChunkFrames = 4096;
constexpr double kHeadSeconds = 0.15;

Speaker speakerFor(int position)
{
    static const std::pair<int, Speaker> known[] = {
        {SF_CHANNEL_MAP_MONO, Speaker::Mono},
        {SF_CHANNEL_MAP_LEFT, Speaker::FrontLeft},
        {SF_CHANNEL_MAP_FRONT_LEFT, Speaker::FrontLeft},
        {SF_CHANNEL_MAP_RIGHT, Speaker::FrontRight},
        {SF_CHANNEL_MAP_FRONT_RIGHT, Speaker::FrontRight},
        {SF_CHANNEL_MAP_CENTER, Speaker::FrontCentre},
        {SF_CHANNEL_MAP_FRONT_CENTER, Speaker::FrontCentre},
        {SF_CHANNEL_MAP_LFE, Speaker::Lfe},
        {SF_CHANNEL_MAP_REAR_LEFT, Speaker::RearLeft},
        {SF_CHANNEL_MAP_REAR_RIGHT, Speaker::RearRight},
        {SF_CHANNEL_MAP_REAR_CENTER, Speaker::RearCentre},
        {SF_CHANNEL_MAP_SIDE_LEFT, Speaker::SideLeft},
        {SF_CHANNEL_MAP_SIDE_RIGHT, Speaker::SideRight}};
    for (const auto& [code, speaker] : known)
        if (code == position)
            return speaker;
    return Speaker::Other;
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

FileReader::FileReader(const QString& path)
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
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_layout = layoutOf(m_file, info);
}

FileReader::~FileReader()
{
    sf_close(m_file);
}

void FileReader::readAhead(double rate, bool ownThread)
{
    m_ringFrames = kRingFrames;
    // Not cleared: only what has been decoded is read, and a page is touched when first decoded
    // into, not all 2 MiB (stereo) at the press.
    m_ring.reset(new float[m_ringFrames * std::size_t(m_channels)]);
    // The start, ready when the voice plays: the first queue at its longest and a block more. At
    // a fast rate that is seconds of the file, more than the decoding thread could catch up
    // with before the output asks.
    const std::size_t head =
        std::min(std::max(kChunkFrames, std::size_t(kHeadSeconds * rate * m_rate)),
                 m_ringFrames - kChunkFrames);
    while (topUp() && m_written.load(std::memory_order_relaxed) < head) {
    }
    m_ownThread = ownThread;
    // Detached: a read that hangs holds only this thread, which owns the reader meanwhile.
    if (ownThread)
        std::thread([self = shared_from_this()] { self->runAhead(); }).detach();
}

void FileReader::decodeAhead()
{
    while (topUp()) {
    }
}

void FileReader::runAhead()
{
    for (;;) {
        const std::uint32_t seen = m_wake.load(std::memory_order_acquire);
        if (m_letGo.load(std::memory_order_acquire))
            return;
        if (!topUp())
            m_wake.wait(seen, std::memory_order_acquire);
    }
}

std::size_t FileReader::decode(float* dest, std::size_t frames, bool loop)
{
    sf_count_t got = sf_readf_float(m_file, dest, sf_count_t(frames));
    if (got <= 0 && loop && sf_seek(m_file, 0, SEEK_SET) == 0)
        got = sf_readf_float(m_file, dest, sf_count_t(frames));
    return got > 0 ? std::size_t(got) : 0;
}

std::size_t FileReader::read(float* dest, std::size_t frames, bool loop)
{
    const auto width = std::size_t(m_channels);
    if (!m_ring)
        return 0;
    m_loop.store(loop, std::memory_order_relaxed);
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    std::uint64_t taken = m_taken.load(std::memory_order_relaxed);
    const auto n = std::size_t(std::min<std::uint64_t>(frames, written - taken));
    for (std::size_t done = 0; done < n;) {
        const auto at = std::size_t(taken % m_ringFrames);
        const std::size_t run = std::min(n - done, m_ringFrames - at);
        std::copy_n(m_ring.get() + at * width, run * width, dest + done * width);
        done += run;
        taken += run;
    }
    m_taken.store(taken, std::memory_order_release);
    // Woken while most of the ring is still ahead: at the fastest rate an eighth of it plays in
    // under 20 ms.
    if (!m_atEnd.load(std::memory_order_acquire) &&
        m_ringFrames - (written - taken) >= m_ringFrames / 8)
        wakeReader();
    return n;
}

bool FileReader::ended() const
{
    return m_atEnd.load(std::memory_order_acquire) &&
           m_taken.load(std::memory_order_relaxed) == m_written.load(std::memory_order_acquire);
}

bool FileReader::topUp()
{
    if (m_atEnd.load(std::memory_order_relaxed) || m_letGo.load(std::memory_order_relaxed))
        return false;
    const std::uint64_t written = m_written.load(std::memory_order_relaxed);
    const std::size_t room =
        m_ringFrames - std::size_t(written - m_taken.load(std::memory_order_acquire));
    if (room < kChunkFrames)
        return false;
    const auto at = std::size_t(written % m_ringFrames);
    const std::size_t frames = std::min({room, kChunkFrames, m_ringFrames - at});
    const std::size_t got = decode(m_ring.get() + at * std::size_t(m_channels), frames,
                                   m_loop.load(std::memory_order_relaxed));
    if (got == 0) {
        m_atEnd.store(true, std::memory_order_release);
        return false;
    }
    m_written.store(written + got, std::memory_order_release);
    return true;
}

void FileReader::letGo()
{
    m_letGo = true;
    if (m_ownThread)
        wakeReader();
}

void FileReader::wakeReader()
{
    m_wake.fetch_add(1, std::memory_order_release);
    m_wake.notify_one();
}
