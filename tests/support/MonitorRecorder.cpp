#include "MonitorRecorder.h"

#include <QTest>
#include <cstring>

bool MonitorRecorder::available()
{
    return !qEnvironmentVariableIsEmpty("OPT_PULSE_SINK");
}

MonitorRecorder::MonitorRecorder()
{
    const QString sink = qEnvironmentVariable("OPT_PULSE_SINK");
    m_process.start("parec", {"-d", sink + ".monitor", "--format=s16le", "--rate=44100",
                              "--channels=2", "--latency-msec=20", "--raw"});
    m_process.waitForStarted();
}

MonitorRecorder::~MonitorRecorder()
{
    m_process.kill();
    m_process.waitForFinished();
}

void MonitorRecorder::collect()
{
    m_pending += m_process.readAllStandardOutput();
    const qsizetype frames = m_pending.size() / 4;
    for (qsizetype i = 0; i < frames; ++i) {
        qint16 pair[2];
        std::memcpy(pair, m_pending.constData() + 4 * i, 4);
        left.push_back(float(pair[0]) / 32768.0f);
        right.push_back(float(pair[1]) / 32768.0f);
    }
    m_pending.remove(0, frames * 4);
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
