#include "Allocations.h"
#include "Audio.h"
#include "EngineStateMachine.h"
#include "LatenessJudge.h"
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
// A tone that starts at its peak: a start without its fade-in is a step. (Whole cycles of it
// end at the peak too, as no real test does: it is for sounds cut short.)
constexpr double kPhase = M_PI / 2;

// A tone of `seconds`, the same on every channel (or on channel `only`), without fades of its
// own: what the engine adds shows.
QString writeTone(const QTemporaryDir& dir, const QString& name, double frequency, double seconds,
                  int channels = 2, int only = -1, double peak = kPeak, double phase = 0)
{
    const std::vector<float> tone = sine(frequency, seconds, peak, kRate, phase);
    std::vector<std::vector<float>> all;
    for (int c = 0; c < channels; ++c)
        all.push_back(only < 0 || c == only ? tone : std::vector<float>(tone.size()));
    const QString path = dir.filePath(name);
    return writeSound(path, kRate, all, SF_FORMAT_WAV | SF_FORMAT_FLOAT) ? path : QString();
}

// The steepest step a sine of this frequency and peak takes, written sample-exact.
double naturalStep(double frequency, double peak)
{
    return ::naturalStep(frequency, peak, kRate, 1.02);
}

// The first and one past the last non-zero sample in [from, to).
std::pair<std::size_t, std::size_t> span(const std::vector<float>& x, std::size_t from = 0,
                                         std::size_t to = SIZE_MAX)
{
    return soundSpan(x, 0.0f, from, to);
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
    // fade: no step steeper than the tones' own, and the stream never ran dry. The volume and
    // Stop are heard at the server's next block, not behind the queue.
    void noChangeSteps()
    {
        const QString low = writeTone(m_dir, "low.wav", 200, 5, 2, -1, kPeak, kPhase);
        const QString high = writeTone(m_dir, "high.wav", 300, 5, 2, -1, kPeak, kPhase);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(rig.voice(low));
        rig.run(0.3);
        const std::size_t volumeAt = rig.out.position();
        m.setGain(0.25f);
        rig.run(0.3);
        m.setRate(2);
        rig.run(0.3);
        m.setRate(1);
        rig.run(0.3);
        m.play(rig.voice(high));
        rig.run(0.3);
        const std::size_t stopAt = rig.out.position();
        m.stop();
        rig.run(0.3);
        m.play(rig.voice(low));
        rig.run(0.3);
        const std::size_t exit = rig.out.position();
        m.finish();
        QVERIFY(!m.exitDone());
        for (int block = 0; block < 20 && !m.exitDone(); ++block)
            rig.run(0.005);
        QVERIFY(m.exitDone());
        const std::size_t done = rig.out.position();
        rig.run(0.1);
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
            // Silent while stopped, and once the exit fade has been played. Stop and the exit
            // fade from the server's next block, not behind the queue.
            QCOMPARE(span(heard, std::size_t(1.6 * kRate), std::size_t(1.8 * kRate)).first,
                     heard.size());
            const auto ramp = std::size_t(Mixer::kGainRampSeconds * kRate);
            QVERIFY(peakDb(heard, volumeAt + ramp, volumeAt + ramp + kRate / 100) <
                    20 * std::log10(kPeak * 0.26));
            const auto fade = std::size_t(Voice::kFadeSeconds * kRate);
            QCOMPARE(span(heard, stopAt, std::size_t(1.6 * kRate)).second, stopAt + fade - 1);
            const auto [first, last] = span(heard, exit);
            QVERIFY(first < last);
            QCOMPARE(last, exit + fade - 1);
            // Done once the fade has been heard, not before.
            QVERIFY2(last <= done, qPrintable(QString("%1 %2").arg(last).arg(done)));
        }
    }

    // The engine connects and opens its stream, corked, before the first press; a press writes
    // the sound itself, from its first frame, and uncorks. Exactly once and whole, then nothing
    // written, corked after the warm spell; the next press starts the same stream again and is
    // heard whole from the server's next block.
    void aSoundPlaysOnceWholeAndThenNothingRuns()
    {
        const QString tone = writeTone(m_dir, "once.wav", 441, 1);
        EngineRig rig(stereoDevice(), std::chrono::milliseconds(3000));
        auto& m = *rig.machine;
        m.prepare();
        rig.run(0.1);
        QCOMPARE(m.state(), EngineStateMachine::State::Corked);
        QVERIFY(rig.out.corked);
        const auto& left = rig.out.heardOn("stereo", 0);
        for (int press = 0; press < 2; ++press) {
            const std::size_t at = rig.out.position();
            m.play(rig.voice(tone));
            QVERIFY(!rig.out.corked);
            rig.run(1.2);
            QVERIFY(!m.playing());
            // Heard from the first block the server plays after the press.
            QVERIFY2(span(left, at).first - at <= std::size_t(kRate / 200),
                     qPrintable(QString::number(span(left, at).first - at)));
            QVERIFY(heardWhole(left, at, 441, kRate));
            QVERIFY(heardWhole(rig.out.heardOn("stereo", 1), at, 441, kRate));

            // Played out: nothing more is rendered or written.
            const auto passes = m.renderPasses();
            const auto written = rig.out.framesWritten;
            rig.run(2.5);
            QCOMPARE(rig.out.endsOfSound, press + 1);
            QCOMPARE(m.renderPasses(), passes);
            QCOMPARE(rig.out.framesWritten, written);
            QVERIFY(!rig.out.corked);
            rig.run(0.6);
            QVERIFY(rig.out.corked);
            QCOMPARE(m.deadline(), std::nullopt);
        }
        QCOMPARE(m.underflows(), 0u);
        QCOMPARE(rig.out.opens, 1);
        QCOMPARE(rig.out.connects, 1);
    }

    // The file's reads stall mid-sound (a hung disk): what was read ahead plays, then the
    // sound fades out without a click and the engine goes idle, as after an end.
    void aFileWhoseReadsStallFadesOut()
    {
        const QString tone = writeTone(m_dir, "stall.wav", 200, 20);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(rig.voice(tone));
        rig.run(0.2);
        rig.readsStall = true;
        rig.run(8);
        QVERIFY(!m.playing());
        const auto& left = rig.out.heardOn("stereo", 0);
        QVERIFY(largestStep(left, 0, left.size()) < naturalStep(200, kPeak));
        const auto [first, last] = span(left);
        QVERIFY2(last > std::size_t(5 * kRate) && last < left.size() - kRate,
                 qPrintable(QString::number(last)));
        QCOMPARE(m.underflows(), 0u);
    }

    // At sixteen times the speed the first queue takes over half a second of the file, more than
    // reading ahead gives before the output asks: the press has decoded it, and it is heard
    // whole even when the file's reads stall right after.
    void aPressAtAFastRateHasItsFirstQueueAtHand()
    {
        const QString tone = writeTone(m_dir, "fast.wav", 50, 10);
        EngineRig rig(stereoDevice());
        rig.readsStall = true;
        rig.machine->setRate(16);
        rig.machine->play(rig.voice(tone, 16));
        rig.run(0.3);
        const auto [first, last] = span(rig.out.heardOn("stereo", 0));
        QVERIFY2(last > first + kRate / 8, qPrintable(QString::number(last - first)));
    }

    // A 5.1 file at full scale on a stereo device sums beyond full scale (front, centre and rear
    // at once): the sound holds at full scale and never wraps round to the other sign.
    void aHotDownmixClipsAndNeverWraps()
    {
        const QString hot = writeTone(m_dir, "hot.wav", 200, 1, 6, -1, 1.0, kPhase);
        EngineRig rig(stereoDevice());
        rig.machine->play(rig.voice(hot));
        rig.run(1.2);
        const auto& left = rig.out.heardOn("stereo", 0);
        const std::vector<float> tone = sine(200, 1, 1.0, kRate, kPhase);
        const std::size_t at = span(left).first;
        float loudest = 0;
        for (std::size_t i = 0; i < tone.size() && at + i < left.size(); ++i) {
            QVERIFY2(left[at + i] * tone[i] >= 0 || std::fabs(tone[i]) < 0.1f,
                     qPrintable(QString::number(i)));
            loudest = std::max(loudest, std::fabs(left[at + i]));
        }
        QVERIFY(loudest > 0.99f);
    }

    // The default device changes while a test plays and the server moves the stream there:
    // the test fades out, waits in silence at its place while the fade plays, and goes on
    // laid out for the new device, a stereo test on its front pair only. The device it left
    // is silent from the move on.
    void aDefaultChangeCarriesWhatPlaysOntoTheNewLayout()
    {
        const QString tone = writeTone(m_dir, "move.wav", 200, 2);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(rig.voice(tone));
        rig.run(0.3);
        const std::size_t moved = rig.out.position();
        rig.out.setDefault(surround51Device());
        rig.run(2.5);
        QCOMPARE(rig.out.opens, 2);
        QCOMPARE(rig.out.openedLayout(), outputLayoutFor(surround51Device().speakers));

        const auto& old = rig.out.heardOn("stereo", 0);
        QCOMPARE(span(old, moved).first, old.size());
        QVERIFY(largestStep(old, 0, moved) < naturalStep(200, kPeak));
        for (std::size_t c = 0; c < 2; ++c) {
            // Past the server's cut at the move itself, no step.
            const auto& front = rig.out.heardOn("5.1", c);
            QVERIFY(largestStep(front, moved + 1, front.size()) < naturalStep(200, kPeak));
        }
        for (std::size_t c = 2; c < 6; ++c)
            QCOMPARE(peakDb(rig.out.heardOn("5.1", c)), -240.0);
        // It went on from where it was held: 2 s heard in all, less the frames rendered but not
        // mixed at the hold (a tone's samples are zero now and then when rounded).
        const auto sounding = [](const std::vector<float>& x) {
            return std::size_t(std::count_if(x.begin(), x.end(), [](float v) { return v != 0; }));
        };
        const std::size_t heard = sounding(old) + sounding(rig.out.heardOn("5.1", 0));
        QVERIFY2(heard > std::size_t(1.9 * kRate) && heard <= std::size_t(2.0 * kRate),
                 qPrintable(QString::number(heard)));
        QCOMPARE(m.underflows(), 0u);
    }

    // The user moves a test whose sound is on the LFE channel from the stereo default to a
    // 5.1 device: from then on it is heard on that device's LFE channel only; the stereo
    // device falls silent. The move is this program's choice from then on: the next press,
    // on a new stream, is placed there at once.
    void aTestTheUserMovesIsLaidOutForItsDeviceAndStaysThere()
    {
        const QString lfe = writeTone(m_dir, "lfe.wav", 100, 3, 6, 3);
        EngineRig rig(stereoDevice(), std::chrono::milliseconds(500));
        auto& m = *rig.machine;
        m.play(rig.voice(lfe));
        // Silent there: stereo leaves the LFE out.
        rig.run(0.5);
        QVERIFY(m.playing());
        const std::size_t moved = rig.out.position();
        // The server takes the move for the user's choice only after the new stream opens.
        rig.out.recordsMovesLate = true;
        rig.out.move(surround51Device());
        rig.run(0.2);
        const std::size_t relaid = rig.out.position();
        QCOMPARE(rig.out.openedLayout(), surround51Device().speakers);
        rig.out.recordMoves();
        rig.run(3);
        const auto& stereo = rig.out.heardOn("stereo", 0);
        QCOMPARE(span(stereo, moved).first, stereo.size());
        const auto& sub = rig.out.heardOn("5.1", 5);
        QVERIFY(largestStep(sub, 0, sub.size()) < naturalStep(100, kPeak));
        QVERIFY(peakDb(sub, relaid, relaid + kRate) > -7);
        for (std::size_t c = 0; c < 5; ++c)
            QCOMPARE(span(rig.out.heardOn("5.1", c), relaid).first, sub.size());
        QVERIFY(!m.playing());

        rig.run(1);
        QVERIFY(rig.out.corked);
        const int opens = rig.out.opens;
        m.play(rig.voice(lfe));
        rig.run(0.5);
        QCOMPARE(rig.out.opens, opens);
        QVERIFY(peakDb(sub, sub.size() - kRate / 10) > -7);
        QCOMPARE(span(stereo, moved).first, stereo.size());
    }

    // The user moves a playing test to a device laid out otherwise and straight back, before
    // its fade has played: it goes on where the user left it.
    void theLatestOfQuickMovesDecides()
    {
        const QString tone = writeTone(m_dir, "quick.wav", 200, 2);
        EngineRig rig(stereoDevice());
        rig.machine->play(rig.voice(tone));
        rig.run(0.3);
        rig.out.move(surround51Device());
        rig.run(0.005);
        rig.out.move(stereoDevice());
        rig.run(0.5);
        QCOMPARE(rig.out.openedLayout(), stereoDevice().speakers);
        const auto& left = rig.out.heardOn("stereo", 0);
        QVERIFY(peakDb(left, left.size() - kRate / 10) > -7);
        QCOMPARE(span(rig.out.heardOn("5.1", 0), left.size() - kRate / 4).first, left.size());
    }

    // The server plays blocks without asking for sound: the stream runs dry while a test
    // plays. That is counted and the queue grows, within its bounds; a long quiet spell shrinks
    // it, and it is back at its start once the stream is corked after the sound, so a session
    // of use costs later presses nothing. Only a dropout of our own making is told, with one
    // line a press; the end of a sound, after which the stream runs dry on purpose, is not.
    void anUnderflowIsCountedAndTheQueueAdapts()
    {
        const QString tone = writeTone(m_dir, "long.wav", 200, 30);
        EngineRig rig(stereoDevice(), std::chrono::milliseconds(500));
        auto& m = *rig.machine;
        const auto starved = [&](bool late, int times) {
            rig.out.answeredLate = late;
            for (int i = 0; i < times; ++i) {
                for (int block = 0; block < 80; ++block)
                    rig.out.playBlock(220, false);
                rig.run(0.2);
            }
        };
        m.play(rig.voice(tone));
        rig.run(0.5);
        const auto start = m.queue();
        starved(false, 1);
        QCOMPARE(m.underflows(), 1u);
        QVERIFY(m.queue() > start);
        QCOMPARE(rig.out.queue(), m.queue());
        starved(false, 8);
        const EngineStateMachine::Timing bounds;
        QVERIFY(m.queue() <= bounds.maxQueue);
        const auto grown = m.queue();
        rig.run(10.5);
        QVERIFY(m.queue() < grown && m.queue() >= start);
        QVERIFY(rig.complaints.empty());
        starved(true, 2);
        QCOMPARE(rig.complaints,
                 std::vector<std::string>{
                     "the sound ran dry: the server's request for it was answered late"});
        QCOMPARE(m.lateUnderflows(), 2u);
        const auto underflows = m.underflows();
        m.stop();
        rig.run(1);
        QCOMPARE(m.underflows(), underflows);
        QCOMPARE(rig.complaints.size(), 1u);
        QCOMPARE(rig.out.overruns, 0);
        QVERIFY(rig.out.corked);
        QCOMPARE(m.queue(), start);
        QCOMPARE(rig.out.queue(), start);
    }

    // Whether a stream that ran dry is the player's fault, from when the server asked and when
    // it was answered (ms; the queue lasts 40 ms).
    void theLatenessOfADryStreamIsJudged_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("late");
        QTest::newRow("answered in time") << "ask 0, answer 2, dry 30" << false;
        QTest::newRow("answered late") << "ask 0, answer 15, dry 30" << true;
        QTest::newRow("still unanswered") << "ask 0, dry 12" << true;
        QTest::newRow("two requests, one late answer") << "ask 0, ask 8, answer 14, dry 20" << true;
        QTest::newRow("answer after an idle spell") << "ask 0, answer 3000, dry 3010" << false;
        QTest::newRow("late answer a queue ago") << "ask 0, answer 15, dry 60" << false;
        QTest::newRow("the sound's end")
            << "ask 0, answer 1, idle 2, ask 10, ask 20, dry 50" << false;
        QTest::newRow("a press as the end runs dry")
            << "idle 0, ask 10, dry 3000, answer 3001" << false;
        QTest::newRow("late after a press") << "idle 0, answer 3000, ask 3010, dry 3025" << true;
        QTest::newRow("judged afresh") << "ask 0, dry 12, ask 20, answer 21, dry 40" << false;
    }
    void theLatenessOfADryStreamIsJudged()
    {
        QFETCH(QString, steps);
        QFETCH(bool, late);
        LatenessJudge judge;
        const auto queue = std::chrono::milliseconds(40);
        bool judged = false;
        for (const QString& step : steps.split(", ")) {
            const QStringList parts = step.split(' ');
            const auto at = LatenessJudge::Clock::time_point(std::chrono::hours(1)) +
                            std::chrono::milliseconds(parts[1].toInt());
            if (parts[0] == "ask")
                judge.asked(at);
            else if (parts[0] == "answer")
                judge.answered(at, queue);
            else if (parts[0] == "idle")
                judge.idle();
            else
                judged = judge.ranDry(at, queue);
        }
        QCOMPARE(judged, late);
    }

    // The sound thread's side of a press, a volume change, a rate change, a move to a device
    // laid out otherwise and a stop allocates and frees nothing.
    void theSoundThreadNeverAllocates()
    {
        const QString tone = writeTone(m_dir, "alloc.wav", 200, 3);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.prepare();
        rig.run(0.1);
        auto first = rig.voice(tone), second = rig.voice(tone);
        const OutputDevice surround = surround51Device();
        const auto before = Allocations::counted();
        Allocations::countOnThisThread(true);
        m.play(std::move(first));
        rig.run(0.2);
        m.setGain(0.5f);
        rig.run(0.1);
        m.setRate(2);
        rig.run(0.1);
        rig.out.move(surround);
        rig.run(0.2);
        m.play(std::move(second));
        rig.run(0.2);
        m.stop();
        rig.run(0.2);
        Allocations::countOnThisThread(false);
        QCOMPARE(Allocations::counted() - before, 0u);
        QVERIFY(peakDb(rig.out.heardOn("5.1", 0)) > -20);
        QCOMPARE(rig.out.overruns, 0);
    }

    // The server goes away while a test plays: the output is dropped with one line, and the
    // next press connects again and is heard.
    void aLostServerIsRecoveredAtTheNextPress()
    {
        const QString tone = writeTone(m_dir, "lost.wav", 200, 5);
        EngineRig rig(stereoDevice());
        auto& m = *rig.machine;
        m.play(rig.voice(tone));
        rig.run(0.3);
        rig.out.fail("Connection terminated");
        rig.run(0.3);
        QVERIFY(!m.playing());
        QCOMPARE(m.state(), EngineStateMachine::State::Closed);
        QCOMPARE(rig.complaints,
                 std::vector<std::string>{"sound output lost: Connection terminated"});
        const std::size_t back = rig.out.position();
        m.play(rig.voice(tone));
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
        m.play(rig.voice(tone));
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
