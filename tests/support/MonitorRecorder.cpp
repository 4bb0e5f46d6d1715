#include "MonitorRecorder.h"

#include <QTest>
#include <algorithm>
#include <pulse/channelmap.h>
#include <pulse/error.h>
#include <pulse/simple.h>

bool MonitorRecorder::available()
{
    return !qEnvironmentVariableIsEmpty("OPT_PULSE_SINK");
}

MonitorRecorder::MonitorRecorder()
    : MonitorRecorder(qEnvironmentVariable("OPT_PULSE_SINK"), kStereoChannels)
{}

MonitorRecorder::MonitorRecorder(const QString& sink, const QStringList& positions,
                                 std::size_t blockFrames)
    : channels(std::size_t(positions.size())), left(channels.at(0)), right(channels.at(1)),
      m_blockFrames(blockFrames)
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, uint8_t(positions.size())};
    pa_channel_map map;
    if (!pa_channel_map_parse(&map, positions.join(',').toLatin1().constData())) {
        qWarning("MonitorRecorder: no channel map %s", qPrintable(positions.join(',')));
        return;
    }
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = uint32_t(m_blockFrames * pa_frame_size(&format));
    int error = 0;
    // Connected before the constructor returns, so that what plays after it is recorded.
    m_stream = pa_simple_new(nullptr, "opt-tests", PA_STREAM_RECORD,
                             (sink + ".monitor").toUtf8().constData(), "monitor", &format, &map,
                             &attr, &error);
    if (!m_stream) {
        qWarning("MonitorRecorder: cannot record %s: %s", qPrintable(sink), pa_strerror(error));
        return;
    }
    m_thread = std::thread([this] { record(); });
}

MonitorRecorder::~MonitorRecorder()
{
    if (!m_stream)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
    pa_simple_free(m_stream);
}

void MonitorRecorder::record()
{
    std::vector<qint16> block(m_blockFrames * channels.size());
    int error = 0;
    while (pa_simple_read(m_stream, block.data(), block.size() * sizeof(qint16), &error) >= 0) {
        const Clock::time_point arrived = Clock::now();
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_pending.insert(m_pending.end(), block.begin(), block.end());
        m_arrivals.emplace_back(m_pending.size() / channels.size(), arrived);
    }
    qWarning("MonitorRecorder: the recording ended: %s", pa_strerror(error));
}

void MonitorRecorder::collect()
{
    std::vector<qint16> pending;
    std::vector<std::pair<std::size_t, Clock::time_point>> arrivals;
    {
        std::lock_guard lock(m_mutex);
        pending.swap(m_pending);
        arrivals.swap(m_arrivals);
    }
    const std::size_t before = left.size();
    for (std::size_t i = 0; i < pending.size(); ++i)
        channels[i % channels.size()].push_back(float(pending[i]) / 32768.0f);
    const std::size_t known = m_blocks.size();
    for (const auto& [end, arrived] : arrivals)
        m_blocks.emplace_back(before + end, arrived);
    // Blocks that arrive together were played one after another: each is dated back to end
    // no later than the next one's first frame, so that time runs forward through the frames.
    for (std::size_t k = m_blocks.size(); k-- > 1;) {
        const std::chrono::duration<double> length(
            double(m_blocks[k].first - m_blocks[k - 1].first) / kRate);
        const Clock::time_point latest =
            m_blocks[k].second - std::chrono::duration_cast<Clock::duration>(length);
        if (m_blocks[k - 1].second <= latest) {
            if (k <= known)
                break; // those before were put in order when they came
            continue;
        }
        m_blocks[k - 1].second = latest;
    }
}

std::size_t MonitorRecorder::mark()
{
    collect();
    return left.size();
}

void MonitorRecorder::wait(int milliseconds)
{
    QTest::qWait(milliseconds);
    collect();
}

MonitorRecorder::Clock::time_point MonitorRecorder::timeOf(std::size_t frame) const
{
    const auto block = std::upper_bound(m_blocks.begin(), m_blocks.end(), frame,
                                        [](std::size_t f, const auto& b) { return f < b.first; });
    if (block == m_blocks.end())
        return Clock::time_point::max();
    const std::chrono::duration<double> before(double(block->first - 1 - frame) / kRate);
    return block->second - std::chrono::duration_cast<Clock::duration>(before);
}

std::size_t MonitorRecorder::frameAt(Clock::time_point t) const
{
    std::size_t low = 0, high = left.size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (timeOf(middle) < t)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
