#include "Audio.h"
#include "MonitorRecorder.h"
#include "SoundEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sndfile.h>

namespace {

constexpr int kRate = 44100;
constexpr float kSilence = 0.003f; // about -50 dBFS

QString makeSound(const QTemporaryDir& dir, const QString& name, const QStringList& args)
{
    const QString path = dir.filePath(name);
    QProcess p;
    p.start(TONEGEN, args + QStringList{"--output", path});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? path : QString();
}

// The first and one past the last frame louder than silence in [from, to).
std::pair<std::size_t, std::size_t> soundSpan(const std::vector<float>& x, std::size_t from = 0,
                                              std::size_t to = SIZE_MAX)
{
    std::size_t first = x.size(), last = 0;
    for (std::size_t i = from; i < std::min(to, x.size()); ++i) {
        if (std::fabs(x[i]) > kSilence) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    return {first, last};
}

// Records until the sound has been followed by `seconds` of silence (the monitor may deliver
// up to a second late), or until `timeout` ms have passed.
void recordUntilQuietFor(MonitorRecorder& recorder, double seconds, int timeout = 5000)
{
    for (int waited = 0; waited < timeout; waited += 100) {
        const auto [first, last] = soundSpan(recorder.left);
        if (first < last && recorder.left.size() - last >= std::size_t(seconds * kRate))
            return;
        recorder.wait(100);
    }
}

// The longest run of samples near zero in [from, to).
std::size_t longestQuietRun(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    std::size_t run = 0, longest = 0;
    for (std::size_t i = from; i < std::min(to, x.size()); ++i) {
        run = std::fabs(x[i]) < 0.01f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// The steepest step a sine of this frequency and peak can take, with room for rounding.
double naturalStep(double frequency, double peak)
{
    return 2 * M_PI * frequency / kRate * peak * 1.25 + 4.0 / 32768;
}

// Playback streams of this process that the server is playing (not corked).
int runningStreamsOfThisProcess()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    int running = 0;
    for (const QString& stream :
         QString::fromUtf8(pactl.readAllStandardOutput()).split("Sink Input #"))
        running += stream.contains("application.process.id = \"" + pid + "\"") &&
                   stream.contains("Corked: no");
    return running;
}

} // namespace

class TestSoundEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!MonitorRecorder::available())
            QSKIP("no private sound server (run through scripts/test.sh)");
        QVERIFY(m_dir.isValid());
        m_tone = makeSound(m_dir, "tone.mp3",
                           {"sine", "--frequency", "50", "--seconds", "1", "--level", "-6"});
        m_long = makeSound(m_dir, "long.mp3",
                           {"sine", "--frequency", "200", "--seconds", "3", "--level", "-6"});
        m_sweep =
            makeSound(m_dir, "sweep.mp3",
                      {"sweep", "--from", "100", "--to", "400", "--seconds", "2", "--level", "-6"});
        QVERIFY(!m_tone.isEmpty() && !m_long.isEmpty() && !m_sweep.isEmpty());
    }

    void aToneIsHeardOnceAtItsFrequency_data()
    {
        QTest::addColumn<double>("rate");
        QTest::newRow("normal speed") << 1.0;
        QTest::newRow("twice the speed") << 2.0;
    }
    void aToneIsHeardOnceAtItsFrequency()
    {
        QFETCH(double, rate);
        SoundEngine engine;
        engine.setVolume(100);
        engine.setRate(rate);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_tone);
        recorder.wait(int(1000 / rate) + 900);
        const auto [first, last] = soundSpan(recorder.left);
        QVERIFY(!engine.isPlaying());

        QVERIFY2(first < last, "nothing was heard");
        const double seconds = double(last - first) / kRate;
        QVERIFY2(std::fabs(seconds - 1.0 / rate) < 0.03, qPrintable(QString::number(seconds)));
        const double f = zeroCrossingFrequency(recorder.left, first + 2205, last - 2205, kRate);
        QVERIFY2(std::fabs(f - 50 * rate) < 0.005 * 50 * rate, qPrintable(QString::number(f)));
        QVERIFY(std::fabs(peakDb(recorder.left, first, last) + 6) < 0.5);
        QVERIFY(std::fabs(peakDb(recorder.right, first, last) + 6) < 0.5);
        // Once: silence from its end to the end of the recording, at least half a second.
        QVERIFY(recorder.left.size() - last > std::size_t(kRate / 2));
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(50 * rate, 0.5));
    }

    void volumeMovesTheLevelByTheCurveWithoutAClick()
    {
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_long);
        recorder.wait(1000);
        engine.setVolume(50);
        recorder.wait(2000);
        recordUntilQuietFor(recorder, 0.1);
        const auto [first, last] = soundSpan(recorder.left);
        QVERIFY(last - first > std::size_t(kRate * 2.5));
        const double loud = rmsDb(recorder.left, first + kRate / 4, first + kRate * 3 / 4);
        const double soft = rmsDb(recorder.left, last - kRate, last - kRate / 4);
        const double expected =
            20 * std::log10(SoundEngine::gainFor(50) / SoundEngine::gainFor(100));
        QVERIFY2(std::fabs((soft - loud) - expected) < 0.3,
                 qPrintable(QString::number(soft - loud)));
        QCOMPARE(qRound(expected * 10), -120);
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(200, 0.5));
    }

    void aRateChangeWhilePlayingHasNoGapAndNoClick()
    {
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_long);
        recorder.wait(700);
        engine.setRate(2);
        recorder.wait(600);
        engine.setRate(1);
        recorder.wait(600);
        engine.stop();
        recordUntilQuietFor(recorder, 0.1);
        const auto [first, last] = soundSpan(recorder.left);
        QVERIFY(first < last);
        // 200 Hz, then 400 Hz, then 200 Hz again.
        std::vector<double> f;
        for (std::size_t at = first + kRate / 10; at + kRate / 10 < last - kRate / 10;
             at += kRate / 10)
            f.push_back(zeroCrossingFrequency(recorder.left, at, at + kRate / 10, kRate));
        const auto near = [](double a, double b) { return std::fabs(a - b) < 2; };
        QVERIFY(near(f.front(), 200) && near(f.back(), 200));
        QVERIFY(std::count_if(f.begin(), f.end(), [&](double x) { return near(x, 400); }) >= 3);
        // No gap: at most the bottom of the 5 ms duck that hides the change of path, under
        // 2 ms near zero in a row.
        const std::size_t longest = longestQuietRun(recorder.left, first, last);
        QVERIFY2(longest < std::size_t(kRate / 500), qPrintable(QString::number(longest)));
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(400, 0.5));
    }

    void stopSilencesSoonWithoutAClick()
    {
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_long);
        recorder.wait(800);
        QVERIFY(engine.isPlaying());
        engine.stop();
        engine.stop(); // a second stop has nothing to stop
        recorder.wait(300);
        recordUntilQuietFor(recorder, 0.5);
        QVERIFY(!engine.isPlaying());
        const auto [first, last] = soundSpan(recorder.left);
        // Start and stop travel the same way to the speaker, so what was heard lasts as long
        // as the time between them, never the rest of the file.
        const double heard = double(last - first) / kRate;
        QVERIFY2(heard > 0.7 && heard < 1.0, qPrintable(QString::number(heard)));
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(200, 0.5));
    }

    void playingAgainRestartsFromTheBeginning()
    {
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(m_sweep);
        recorder.wait(1000);
        engine.play(m_sweep);
        recorder.wait(2000);
        recordUntilQuietFor(recorder, 0.1);
        const auto [first, last] = soundSpan(recorder.left);
        // The sweep rises; a restart shows as exactly one fall back to its low end.
        // Windows holding a dropout (the machine too busy to feed the sound) are passed over.
        std::vector<double> f;
        for (std::size_t at = first + kRate / 20; at + kRate / 10 < last; at += kRate / 20)
            if (longestQuietRun(recorder.left, at, at + kRate / 10) < kRate / 500)
                f.push_back(zeroCrossingFrequency(recorder.left, at, at + kRate / 10, kRate));
        // Count the stretches where the pitch keeps falling and ends up well below where the
        // stretch began.
        int falls = 0;
        for (std::size_t i = 1; i < f.size();) {
            if (f[i] >= f[i - 1]) {
                ++i;
                continue;
            }
            const double top = f[i - 1];
            while (i < f.size() && f[i] < f[i - 1])
                ++i;
            falls += f[i - 1] < 0.8 * top;
        }
        QCOMPARE(falls, 1);
        QVERIFY(double(last - first) / kRate > 2.8);
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(400, 0.5));
    }

    // Each side of the file reaches its own side of the output, and the file's own sample
    // rate sets the pitch (WAV content in files named .mp3, as a user may drop in).
    void channelsAndFileRatesArePlayedTrue_data()
    {
        QTest::addColumn<int>("fileRate");
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("frequency");
        QTest::newRow("48 kHz, left only") << 48000 << 0 << 400.0;
        QTest::newRow("22.05 kHz, right only") << 22050 << 1 << 300.0;
    }
    void channelsAndFileRatesArePlayedTrue()
    {
        QFETCH(int, fileRate);
        QFETCH(int, channel);
        QFETCH(double, frequency);
        const QString path = m_dir.filePath(QString("side%1.mp3").arg(channel));
        SF_INFO info{};
        info.samplerate = fileRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
        QVERIFY(file);
        std::vector<float> frames(std::size_t(fileRate) * 2); // one second
        for (std::size_t i = 0; i < frames.size() / 2; ++i)
            frames[2 * i + std::size_t(channel)] =
                0.5f * float(std::sin(2 * M_PI * frequency * double(i) / fileRate));
        sf_writef_float(file, frames.data(), sf_count_t(fileRate));
        sf_close(file);

        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder;
        recorder.wait(300);
        engine.play(path);
        recorder.wait(1000);
        recordUntilQuietFor(recorder, 0.1);
        const std::vector<float>& heard = channel == 0 ? recorder.left : recorder.right;
        const std::vector<float>& other = channel == 0 ? recorder.right : recorder.left;
        const auto [first, last] = soundSpan(heard);
        QVERIFY2(first < last, "nothing was heard on its own side");
        // The median over 50 ms windows, passing over any that hold a dropout (a busy machine
        // failing to feed the sound): a file rate taken for the output's would be 8 % off.
        std::vector<double> f;
        for (std::size_t at = first + kRate / 20; at + kRate / 10 < last; at += kRate / 20)
            if (longestQuietRun(heard, at, at + kRate / 20) < kRate / 500)
                f.push_back(zeroCrossingFrequency(heard, at, at + kRate / 20, kRate));
        QVERIFY(f.size() >= 5);
        std::nth_element(f.begin(), f.begin() + long(f.size() / 2), f.end());
        const double median = f[f.size() / 2];
        QVERIFY2(std::fabs(median - frequency) < 0.005 * frequency,
                 qPrintable(QString::number(median)));
        QVERIFY(std::fabs(peakDb(heard, first, last) + 6) < 0.5);
        QVERIFY2(peakDb(other) < -60, qPrintable(QString::number(peakDb(other))));
    }

    // Nothing runs once the sound has ended and the warm spell is over: no render pass, no
    // running stream at the server. The next press wakes the output and is heard whole.
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
        const auto [s1, e1] = soundSpan(recorder.left, 0, second);
        const auto [s2, e2] = soundSpan(recorder.left, second);
        QVERIFY2(s1 < e1 && s2 < e2,
                 qPrintable(QString("heard %1-%2 and %3-%4 (second press at %5)")
                                .arg(s1)
                                .arg(e1)
                                .arg(s2)
                                .arg(e2)
                                .arg(second)));
        const double d1 = double(e1 - s1) / kRate;
        const double d2 = double(e2 - s2) / kRate;
        QVERIFY2(std::fabs(d2 - d1) < 0.005, qPrintable(QString("%1 then %2 s").arg(d1).arg(d2)));
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(50, 0.5));
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
            QElapsedTimer took;
            took.start();
            engine.finish();
            QVERIFY2(took.elapsed() <= 60, qPrintable(QString::number(took.elapsed())));
        } // the output goes away here, as at exit
        recordUntilQuietFor(recorder, 0.3);
        const auto [first, last] = soundSpan(recorder.left);
        QVERIFY(first < last);
        QVERIFY(largestStep(recorder.left, 0, recorder.left.size()) < naturalStep(200, 0.5));
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
    QString m_tone, m_long, m_sweep;
};

QTEST_GUILESS_MAIN(TestSoundEngine)
#include "test_soundengine.moc"
