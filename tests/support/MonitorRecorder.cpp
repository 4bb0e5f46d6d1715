#include "MonitorRecorder.h"

#include <QTest>
#include <cstring>

bool MonitorRecorder::available()
{
    return !qEnvironmentVariableIsEmpty("OPT_PULSE_SINK");
}

MonitorRecorder::MonitorRecorder()
    : MonitorRecorder(qEnvironmentVariable("OPT_PULSE_SINK"), {"front-left", "front-right"})
{}

MonitorRecorder::MonitorRecorder(const QString& sink, const QStringList& positions)
    : channels(std::size_t(positions.size())), left(channels.at(0)), right(channels.at(1))
{
    m_process.start("parec",
                    {"-d", sink + ".monitor", "--format=s16le", "--rate=44100",
                     QStringLiteral("--channels=%1").arg(positions.size()),
                     "--channel-map=" + positions.join(','), "--latency-msec=20", "--raw"});
    m_process.waitForStarted();
}

MonitorRecorder::~MonitorRecorder()
{
    m_process.kill();
    m_process.waitForFinished();
}

void MonitorRecorder::collect()
{
    // What the recorder has written so far, not only what the event loop has read of it: a
    // mark taken after a while without the loop (a pactl run) would otherwise lie in the past.
    while (m_process.waitForReadyRead(0)) {
    }
    m_pending += m_process.readAllStandardOutput();
    const auto frameBytes = qsizetype(channels.size() * sizeof(qint16));
    const qsizetype frames = m_pending.size() / frameBytes;
    for (qsizetype i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < channels.size(); ++c) {
            qint16 sample;
            std::memcpy(&sample, m_pending.constData() + i * frameBytes + qsizetype(c) * 2, 2);
            channels[c].push_back(float(sample) / 32768.0f);
        }
    }
    m_pending.remove(0, frames * frameBytes);
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
