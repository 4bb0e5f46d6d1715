#include "Audio.h"
#include "MonitorRecorder.h"
#include "ServerStreams.h"
#include "SoundEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRate = 44100;
constexpr float kSilence = 0.003f; // about -50 dBFS

// The first and one past the last frame louder than silence from `from` on.
std::pair<std::size_t, std::size_t> heardSpan(const std::vector<float>& x, std::size_t from = 0)
{
    return ::soundSpan(x, kSilence, from);
}

// Records until the sound has been followed by `seconds` of silence (the monitor may deliver
// up to a second late), or until `timeout` ms have passed.
void recordUntilQuietFor(MonitorRecorder& recorder, double seconds, int timeout = 5000)
{
    for (int waited = 0; waited < timeout; waited += 100) {
        const auto [first, last] = heardSpan(recorder.left);
        if (first < last && recorder.left.size() - last >= std::size_t(seconds * kRate))
            return;
        recorder.wait(100);
    }
}

// The steepest step a sine of this frequency and peak can take through the server.
double naturalStep(double frequency, double peak)
{
    return ::naturalStep(frequency, peak, kRate, 1.25);
}

// The largest step, where it is, and where the sound is.
QString stepReport(const std::vector<float>& x)
{
    const auto [first, last] = heardSpan(x);
    return QString("a step of %1 at %2; sound from %3 to %4")
        .arg(largestStepOutsideHoles(x, kRate))
        .arg(largestStepAt(x))
        .arg(first)
        .arg(last);
}

// Playback streams of this process that the server is playing (not corked).
int runningStreamsOfThisProcess()
{
    const auto streams = streamsOfThisProcess();
    return int(
        std::count_if(streams.begin(), streams.end(), [](const auto& s) { return !s.corked; }));
}

} // namespace

class TestSoundEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!MonitorRecorder::available())
            QFAIL("no private sound server: run through scripts/test.sh");
        QVERIFY(m_dir.isValid());
        m_tone = makeTone(TONEGEN, m_dir.filePath("tone.mp3"),
                          {"sine", "--frequency", "50", "--seconds", "1", "--level", "-6"});
        m_long = makeTone(TONEGEN, m_dir.filePath("long.mp3"),
                          {"sine", "--frequency", "200", "--seconds", "3", "--level", "-6"});
        QVERIFY(!m_tone.isEmpty() && !m_long.isEmpty());
    }

    // A 48 kHz file with another tone on each side, through a volume change, twice the speed
    // and back, and a stop: each side at its pitch and level, on its own side, with no click,
    // and no hole of ours.
    void aTestIsHeardTrueWithoutAClickOrAHole()
    {
        const QString path = m_dir.filePath("sides.mp3");
        constexpr int fileRate = 48000;
        QVERIFY(writeSound(path, fileRate,
                           {sine(300, 4, 0.5, fileRate), sine(400, 4, 0.5, fileRate)},
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT));

        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(path);
        recorder.wait(800);
        engine.setVolume(50);
        recorder.wait(600);
        engine.setRate(2);
        recorder.wait(500);
        engine.setRate(1);
        recorder.wait(500);
        engine.stop();
        recordUntilQuietFor(recorder, 0.5);
        QVERIFY(!engine.isPlaying());

        const auto [first, last] = heardSpan(recorder.left);
        QVERIFY2(first < last, "nothing was heard");
        // Stopped after 2.4 s of sound, as long as the start took to travel.
        const double heard = double(last - first) / kRate;
        QVERIFY2(heard > 2.2 && heard < 2.6, qPrintable(QString::number(heard)));
        for (std::size_t c = 0; c < 2; ++c) {
            const std::vector<float>& x = recorder.channels[c];
            const double tone = 300 + 100 * double(c);
            // Full volume, then 50 (-12 dB), then twice the pitch, then the pitch again.
            const struct {
                double at, frequency, db;
            } sections[] = {
                {0.2, tone, -6}, {1.1, tone, -18}, {1.7, 2 * tone, -18}, {2.2, tone, -18}};
            for (const auto& s : sections) {
                const auto from = first + std::size_t(s.at * kRate);
                const auto to = from + kRate / 10;
                if (!holes(x, kRate, from, to).empty())
                    continue; // said below
                const double f = zeroCrossingFrequency(x, from, to, kRate);
                QVERIFY2(std::fabs(f - s.frequency) < 0.005 * s.frequency,
                         qPrintable(QString("channel %1 at %2 s: %3 Hz").arg(c).arg(s.at).arg(f)));
                QVERIFY2(std::fabs(peakDb(x, from, to) - s.db) < 0.5,
                         qPrintable(QString("channel %1 at %2 s: %3 dB")
                                        .arg(c)
                                        .arg(s.at)
                                        .arg(peakDb(x, from, to))));
            }
            QVERIFY2(largestStepOutsideHoles(x, kRate) < naturalStep(2 * tone, 0.5),
                     qPrintable(stepReport(x)));
            QVERIFY(holesAreNotOurs(x, kRate, first, last, engine.underflows(),
                                    engine.lateUnderflows()));
        }
    }

    // Nothing runs once the sound has ended and the warm spell is over: no render pass, no
    // running stream at the server. The next press wakes the output and is heard whole, and so
    // is one at a fast rate.
    void idleCostsNothingAndTheNextPressIsHeardWhole()
    {
        SoundEngine engine(std::chrono::milliseconds(300));
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_tone);
        recorder.wait(1000 + 300 + 500);
        const quint64 passes = engine.renderPasses();
        recorder.wait(1000);
        QCOMPARE(engine.renderPasses(), passes);
        QCOMPARE(runningStreamsOfThisProcess(), 0);

        const std::size_t second = recorder.mark();
        engine.play(m_tone);
        recorder.wait(2000);
        recordUntilQuietFor(recorder, 0.2);
        const auto [s2, e2] = heardSpan(recorder.left, second);
        QVERIFY2(s2 < e2, "the press after the warm spell was not heard");
        const double d2 = double(e2 - s2) / kRate;
        QVERIFY2(d2 > 0.99, qPrintable(QString::number(d2)));
        QVERIFY2(largestStepOutsideHoles(recorder.left, kRate) < naturalStep(50, 0.5),
                 qPrintable(stepReport(recorder.left)));
        QVERIFY(holesAreNotOurs(recorder.left, kRate, s2, e2, engine.underflows(),
                                engine.lateUnderflows()));

        // At sixteen times the speed the first queue takes over half a second of the file: heard
        // whole all the same.
        engine.setRate(16);
        const std::size_t third = recorder.mark();
        engine.play(m_long);
        recorder.wait(800);
        recordUntilQuietFor(recorder, 0.2);
        const auto [s3, e3] = heardSpan(recorder.left, third);
        const double d3 = double(e3 - s3) / kRate;
        QVERIFY2(s3 < e3 && d3 > 3.0 / 16 - 0.005, qPrintable(QString::number(d3)));
    }

    // The end of the process cuts whatever is queued; finish() lets the sound down first.
    void finishingWhilePlayingEndsWithAFade()
    {
        MonitorRecorder recorder;
        recorder.wait(300);
        {
            SoundEngine engine;
            engine.setVolume(100);
            engine.play(m_long);
            recorder.wait(600);
            engine.finish();
        } // the output goes away here, as at exit
        recordUntilQuietFor(recorder, 0.3);
        const auto [first, last] = heardSpan(recorder.left);
        QVERIFY(first < last);
        QVERIFY2(largestStepOutsideHoles(recorder.left, kRate) < naturalStep(200, 0.5),
                 qPrintable(stepReport(recorder.left)));
    }

    // Files on a stalled network folder, played by pipes: one whose reads stop a third of a
    // second in fades out and ends on its own; one that stalls inside its header holds up
    // nothing. The sound thread goes on, the next press is heard, and the engine goes away
    // while the stalls last.
    void filesWhoseReadsHangHoldUpNoOtherSound()
    {
        const QString whole = m_dir.filePath("stalled.wav");
        const std::vector<float> tone = sine(300, 2, 0.5, kRate);
        QVERIFY(writeSound(whole, kRate, {tone, tone}, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        QFile source(whole);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        std::atomic<bool> release{false};
        // Writes the first `count` bytes into a new pipe, then stalls until released.
        const auto stallingPipe = [&](const QString& name, qsizetype count) {
            const QByteArray pipe = QFile::encodeName(m_dir.filePath(name));
            if (::mkfifo(pipe.constData(), 0600) != 0)
                return std::thread();
            return std::thread([&, pipe, count] {
                const int fd = ::open(pipe.constData(), O_WRONLY);
                if (fd >= 0 && ::write(fd, bytes.constData(), std::size_t(count)) == count)
                    while (!release)
                        QThread::msleep(10);
                ::close(fd);
            });
        };
        std::thread midway = stallingPipe("midway.mp3", 44 + kRate / 3 * 4);
        std::thread header = stallingPipe("header.mp3", 20);
        QVERIFY(midway.joinable() && header.joinable());

        MonitorRecorder recorder;
        recorder.wait(300);
        std::size_t again = 0;
        bool playedOn = true;
        {
            SoundEngine engine;
            engine.setVolume(100);
            engine.play(m_long);
            recorder.wait(500);
            engine.play(m_dir.filePath("midway.mp3"));
            recorder.wait(1000);
            playedOn = engine.isPlaying();
            engine.play(m_dir.filePath("header.mp3"));
            recorder.wait(300);
            again = recorder.mark();
            engine.play(m_long);
            recorder.wait(800);
            engine.stop();
            recorder.wait(200);
        }
        release = true;
        midway.join();
        header.join();
        recordUntilQuietFor(recorder, 0.3);

        QVERIFY2(!playedOn, "the stalled file never ended");
        const auto [first, last] = heardSpan(recorder.left, again);
        QVERIFY2(first < last, "the press after the stalled files was not heard");
        const double f =
            zeroCrossingFrequency(recorder.left, first + kRate / 10, first + kRate / 2, kRate);
        QVERIFY2(std::fabs(f - 200) < 1 || !holes(recorder.left, kRate, first, last).empty(),
                 qPrintable(QString::number(f)));
        // The stalled file ended with a fade, not a cut.
        QVERIFY2(largestStepOutsideHoles(recorder.left, kRate) < naturalStep(300, 0.5),
                 qPrintable(stepReport(recorder.left)));
    }

    void aFileThatCannotBePlayedGivesSilence()
    {
        SoundEngine engine;
        MonitorRecorder recorder;
        recorder.wait(200);
        engine.play(m_dir.filePath("missing.mp3"));
        engine.play(TONEGEN); // not a sound
        recorder.wait(500);
        QVERIFY(!engine.isPlaying());
        QVERIFY(peakDb(recorder.left) < -60);
    }

private:
    QTemporaryDir m_dir;
    QString m_tone, m_long;
};

QTEST_GUILESS_MAIN(TestSoundEngine)
#include "test_soundengine.moc"
