#include "Audio.h"
#include "EngineStateMachine.h"
#include "TestOutput.h"
#include "Voice.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sndfile.h>

// The engine's rules of the sound, sample by sample, on a server the test runs block by block
// and a clock it moves: no sound server, no sleeps, the same result every run.
namespace {

constexpr int kRate = 44100;
constexpr double kPeak = 0.5;

// A tone of `seconds`, the same on every channel, without fades of its own: what the engine
// adds shows.
QString writeTone(const QTemporaryDir& dir, const QString& name, double frequency, double seconds,
                  int channels = 2)
{
    const QString path = dir.filePath(name);
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    const auto frames = std::size_t(seconds * kRate);
    std::vector<float> samples(frames * std::size_t(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < std::size_t(channels); ++c)
            samples[i * std::size_t(channels) + c] =
                float(kPeak * std::sin(2 * M_PI * frequency * double(i) / kRate));
    sf_writef_float(file, samples.data(), sf_count_t(frames));
    sf_close(file);
    return path;
}

std::unique_ptr<Voice> voice(const QString& path)
{
    return std::make_unique<Voice>(path);
}

// The steepest step a sine of this frequency and peak takes, with room for 16-bit rounding.
double naturalStep(double frequency, double peak)
{
    return 2 * M_PI * frequency / kRate * peak * 1.02 + 2.0 / 32768;
}

// The first and one past the last non-zero sample in [from, to).
std::pair<std::size_t, std::size_t> span(const std::vector<float>& x, std::size_t from = 0,
                                         std::size_t to = SIZE_MAX)
{
    std::size_t first = x.size(), last = 0;
    for (std::size_t i = from; i < std::min(to, x.size()); ++i)
        if (x[i] != 0.0f) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, last};
}

// True when the sound heard from `from` on is the tone's first `frames` frames, as 16-bit
// samples, past the engine's 5 ms fade-in, and nothing follows them.
bool heardWhole(const std::vector<float>& heard, std::size_t from, double frequency,
                std::size_t frames)
{
    const auto fade = std::size_t(Voice::kFadeSeconds * kRate);
    const auto matchesFrom = [&](std::size_t at) {
        if (at + frames > heard.size())
            return false;
        for (std::size_t i = fade; i < frames; ++i) {
            const double expected = kPeak * std::sin(2 * M_PI * frequency * double(i) / kRate);
            if (std::fabs(double(heard[at + i]) * 32768.0 / 32767.0 - expected) > 1.0 / 32767)
                return false;
        }
        return span(heard, at + frames).first == heard.size();
    };
    // The first frames of the fade-in round to zero: the tone starts a little before the first
    // sample heard.
    const std::size_t first = span(heard, from).first;
    for (std::size_t back = 0; back < fade && back <= first; ++back)
        if (matchesFrom(first - back))
            return true;
    return false;
}

} // namespace

class TestEngineStates : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Start, volume, rate both ways, a switch to another test, stop, a new start and the exit
    // fade: no step steeper than the tones' own, and the stream never ran dry.
    void noChangeSteps()
    {
        const QString low = writeTone(m_dir, "low.wav", 200, 5);
        const QString high = writeTone(m_dir, "high.wav", 300, 5);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(voice(low));
        rig.run(0.3);
        m.setGain(0.25f);
        rig.run(0.3);
        m.setRate(2);
        rig.run(0.3);
        m.setRate(1);
        rig.run(0.3);
        m.play(voice(high));
        rig.run(0.3);
        m.stop();
        rig.run(0.3);
        m.play(voice(low));
        rig.run(0.3);
        const std::size_t exit = rig.out.position();
        m.finish();
        rig.run(0.1);
        QVERIFY(m.exitDone());
        QCOMPARE(m.underflows(), 0u);
        QCOMPARE(rig.out.overruns, 0);
        for (std::size_t c = 0; c < 2; ++c) {
            const auto& heard = rig.out.heardOn("stereo", c);
            QVERIFY(largestStep(heard, 0, heard.size()) < naturalStep(600, kPeak));
            // The pitch follows the rate; the switch plays the other tone.
            const double expected[] = {200, 200, 400, 200, 300};
            for (int section = 0; section < 5; ++section) {
                const std::size_t from = std::size_t((section * 0.3 + 0.1) * kRate);
                const double f = zeroCrossingFrequency(heard, from, from + kRate / 10, kRate);
                QVERIFY2(std::fabs(f - expected[section]) < 1, qPrintable(QString::number(f)));
            }
            // Every section sounded: the 0.3 s between each change.
            for (int section = 0; section < 7; ++section) {
                const std::size_t from = std::size_t((section * 0.3 + 0.1) * kRate);
                QVERIFY2(peakDb(heard, from, from + kRate / 10) > (section == 5 ? -300 : -20),
                         qPrintable(QString::number(section)));
            }
            // Silent while stopped, and once the exit fade has been played: within the queue
            // and the fade.
            QCOMPARE(span(heard, std::size_t(1.6 * kRate), std::size_t(1.8 * kRate)).first,
                     heard.size());
            const auto [first, last] = span(heard, exit);
            QVERIFY(first < last);
            QVERIFY2(last - exit < std::size_t(0.050 * kRate), qPrintable(QString::number(last)));
        }
    }

    // Exactly once and whole, then nothing written, corked after the warm spell; the next
    // press is heard whole again.
    void aSoundPlaysOnceWholeAndThenNothingRuns()
    {
        const QString tone = writeTone(m_dir, "once.wav", 441, 1);
        EngineRig rig(stereoDevice(), std::chrono::milliseconds(3000));
        auto& m = *rig.machine;
        m.play(voice(tone));
        rig.run(1.2);
        QVERIFY(!m.playing());
        const auto& left = rig.out.heardOn("stereo", 0);
        QVERIFY(heardWhole(left, 0, 441, kRate));
        QVERIFY(heardWhole(rig.out.heardOn("stereo", 1), 0, 441, kRate));

        // Played out: nothing more is rendered or written.
        const auto passes = m.renderPasses();
        const auto written = rig.out.framesWritten;
        rig.run(2.5);
        QCOMPARE(m.renderPasses(), passes);
        QCOMPARE(rig.out.framesWritten, written);
        QVERIFY(!rig.out.corked);
        rig.run(0.6);
        QVERIFY(rig.out.corked);
        QCOMPARE(m.deadline(), std::nullopt);
        QCOMPARE(m.underflows(), 0u);

        const std::size_t again = rig.out.position();
        m.play(voice(tone));
        QVERIFY(!rig.out.corked);
        rig.run(1.2);
        QVERIFY(heardWhole(left, again, 441, kRate));
        // A corked stream is not started again: a new one is opened.
        QCOMPARE(rig.out.opens, 2);
    }

    // The default device changes while a test plays: it goes on where it is; the next press
    // fades it out there, and only then is a stream opened on the new device, in its layout.
    void aDeviceChangeFadesOutThenOpensOnTheNewLayout()
    {
        const QString tone = writeTone(m_dir, "move.wav", 200, 5);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(voice(tone));
        rig.run(0.3);
        rig.out.setDefault(surround51Device());
        rig.run(0.3);
        QCOMPARE(rig.out.openedLayout().size(), 2u);
        m.play(voice(tone));
        rig.run(0.5);
        QCOMPARE(rig.out.opens, 2);
        QCOMPARE(rig.out.openedLayout(), outputLayoutFor(surround51Device().speakers));

        const auto& old = rig.out.heardOn("stereo", 0);
        const auto [oldFirst, oldLast] = span(old);
        QVERIFY(largestStep(old, 0, old.size()) < naturalStep(200, kPeak));
        QVERIFY2(oldLast > std::size_t(0.6 * kRate) && oldLast < std::size_t(0.65 * kRate),
                 qPrintable(QString::number(oldLast)));
        const auto& front = rig.out.heardOn("5.1", 0);
        const std::size_t newFirst = span(front).first;
        QVERIFY2(newFirst >= oldLast, qPrintable(QString("%1 %2").arg(newFirst).arg(oldLast)));
        QVERIFY(largestStep(front, 0, front.size()) < naturalStep(200, kPeak));
        // A stereo test on the front pair only (the device lists FL FR RL RR FC LFE).
        QVERIFY(peakDb(rig.out.heardOn("5.1", 1)) > -7);
        for (std::size_t c = 2; c < 6; ++c)
            QCOMPARE(peakDb(rig.out.heardOn("5.1", c)), -240.0);
    }

    // The server plays a block without asking for sound: the stream runs dry while a test
    // plays. That is counted and the queue grows; the end of a sound, after which the stream
    // runs dry on purpose, is not counted; a long quiet spell shrinks the queue back.
    void anUnderflowIsCountedAndTheQueueAdapts()
    {
        const QString tone = writeTone(m_dir, "long.wav", 200, 30);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(voice(tone));
        rig.run(0.5);
        const auto start = m.queue();
        QCOMPARE(start, std::chrono::microseconds(40000));
        for (int block = 0; block < 10; ++block)
            rig.out.playBlock(220, false);
        QCOMPARE(m.underflows(), 1u);
        QCOMPARE(m.queue(), std::chrono::microseconds(60000));
        QCOMPARE(rig.out.queue(), m.queue());
        rig.run(10.5);
        QCOMPARE(m.queue(), std::chrono::microseconds(54000));
        m.stop();
        rig.run(1);
        QCOMPARE(m.underflows(), 1u);
        QCOMPARE(rig.out.overruns, 0);
    }

    // The server goes away while a test plays: the output is dropped with one line, and the
    // next press connects again and is heard.
    void aLostServerIsRecoveredAtTheNextPress()
    {
        const QString tone = writeTone(m_dir, "lost.wav", 200, 5);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(voice(tone));
        rig.run(0.3);
        rig.out.fail("Connection terminated");
        rig.run(0.3);
        QVERIFY(!m.playing());
        QCOMPARE(m.state(), EngineStateMachine::State::Closed);
        QCOMPARE(rig.complaints,
                 std::vector<std::string>{"sound output lost: Connection terminated"});
        const std::size_t back = rig.out.position();
        m.play(voice(tone));
        rig.run(0.3);
        QVERIFY(m.playing());
        QCOMPARE(rig.out.connects, 2);
        QVERIFY(peakDb(rig.out.heardOn("stereo", 0), back) > -7);
        QCOMPARE(rig.complaints.size(), 1u);
    }

    // One deadline for the whole open, however the time is shared between the connection and
    // the stream; a server that never answers costs one line and nothing after it.
    void anOpenGivesUpAtOneDeadline_data()
    {
        QTest::addColumn<bool>("connectionAnswered");
        QTest::newRow("connection never answered") << false;
        QTest::newRow("connection answered late, stream never ready") << true;
    }
    void anOpenGivesUpAtOneDeadline()
    {
        QFETCH(bool, connectionAnswered);
        const QString tone = writeTone(m_dir, "hang.wav", 200, 1);
        EngineRig rig(stereoDevice());
        rig.out.answerConnect = false;
        rig.out.answerOpen = false;
        auto& m = *rig.machine;
        m.play(voice(tone));
        rig.run(1.5);
        if (connectionAnswered) {
            rig.out.answerConnection();
            rig.out.deliver();
            QCOMPARE(rig.out.opens, 1);
        }
        rig.run(0.49);
        QVERIFY(m.playing());
        QVERIFY(rig.complaints.empty());
        rig.run(0.02);
        QVERIFY(!m.playing());
        QCOMPARE(m.state(), EngineStateMachine::State::Closed);
        QCOMPARE(rig.complaints,
                 std::vector<std::string>{
                     "cannot open the sound output: the sound server does not answer"});
        QCOMPARE(m.deadline(), std::nullopt);
        QVERIFY(!rig.out.connected() && !rig.out.streamOpen());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestEngineStates)
#include "test_enginestates.moc"
