#include "Audio.h"
#include "MonitorRecorder.h"
#include "Pack.h"
#include "SoundEngine.h"

#include <QProcess>
#include <QTest>
#include <cmath>

// The spoken 5.1 channel check through the engine, as the device's monitor records it, each
// channel by name: every step's name, then its burst, on the speakers the README promises.
namespace {

constexpr int kRate = 44100;
constexpr double kSilentDb = -60;
constexpr double kStep = 3.0; // name slot, burst, gap

std::size_t at(double seconds)
{
    return std::size_t(seconds * kRate);
}

double speechBandDb(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    const std::vector<float> part(x.begin() + long(from), x.begin() + long(to));
    return rmsDb(part) + 10 * std::log10(energyShareInBand(part, kRate, 300, 3400));
}

} // namespace

class TestSpokenChecks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!MonitorRecorder::available())
            QFAIL("no private sound server: run through scripts/test.sh");
    }
    void cleanup()
    {
        QProcess::execute("pactl", {"set-default-sink", qEnvironmentVariable("OPT_PULSE_SINK")});
    }

    // On a stereo device the check folds as every 5.1 test does (the multichannel test and the
    // routing table pin that fold); here each step on its own speaker.
    void eachStepSaysItsNameThenSoundsInOrder()
    {
        QCOMPARE(QProcess::execute("pactl", {"set-default-sink", "opt_51"}), 0);
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder("opt_51", k51Channels);
        recorder.wait(300);
        engine.play(QStringLiteral(PACK_DIR "/33 Channel check 5.1 (spoken).mp3"));
        recorder.wait(int(6 * kStep * 1000) + 2000);
        const auto& heard = recorder.channels;
        // The first sound is the first name's start.
        const std::size_t start = firstSound(heard, -50);
        QVERIFY2(start != SIZE_MAX, "nothing was heard");
        QVERIFY2(start + at(6 * kStep) <= heard[0].size(), "the recording ended early");
        for (int step = 0; step < 6; ++step) {
            const std::size_t slot = start + at(step * kStep);
            // The name: on its own channel, on the front pair for the LFE.
            const QList<int> said = step == kLfeChannel ? QList<int>{0, 1} : QList<int>{step};
            const std::size_t nameFrom = slot + at(0.05), nameTo = slot + at(0.45);
            const std::size_t burstFrom = slot + at(kNameSeconds + 0.1),
                              burstTo = slot + at(kNameSeconds + 1.4);
            for (int k = 0; k < k51Channels.size(); ++k) {
                const auto& x = heard[std::size_t(k)];
                const auto where = QStringLiteral("step %1, %2: ").arg(step).arg(k51Channels[k]);
                if (said.contains(k)) {
                    const double band = speechBandDb(x, nameFrom, nameTo);
                    QVERIFY2(band > -30,
                             qPrintable(where + QString::number(band) + " dB of speech"));
                } else {
                    QVERIFY2(peakDb(x, slot + at(0.03), slot + at(kNameSeconds - 0.05)) < kSilentDb,
                             qPrintable(where + levels(heard, nameFrom, nameTo)));
                }
                const double db = rmsDb(x, burstFrom, burstTo);
                const bool right =
                    k == step ? std::fabs(db - -20) < 1 : peakDb(x, burstFrom, burstTo) < kSilentDb;
                QVERIFY2(right, qPrintable(where + QStringLiteral("burst %1 dB; all: %2")
                                                       .arg(db)
                                                       .arg(levels(heard, burstFrom, burstTo))));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSpokenChecks)
#include "test_spokenchecks.moc"
