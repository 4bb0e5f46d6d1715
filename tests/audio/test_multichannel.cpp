#include "Audio.h"
#include "BuildSettings.h"
#include "MonitorRecorder.h"
#include "ServerStreams.h"
#include "SoundEngine.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sndfile.h>

// Test sounds of every layout through the engine to devices of 2, 6 and 8 channels, as the
// device's monitor records them, each channel by name.
namespace {

constexpr int kRate = 44100;
constexpr double kSilentDb = -60;
constexpr double kMinus3dB = 0.70710678;

QString packFile(const QString& name)
{
    return QStringLiteral(PACK_DIR "/") + name + ".mp3";
}

void useDevice(const QString& sink)
{
    QCOMPARE(QProcess::execute("pactl", {"set-default-sink", sink}), 0);
}

// Gains from each file channel (rows) to each recorded channel (columns).
using Gains = QList<QList<double>>;

Gains identity(int channels)
{
    Gains g(channels, QList<double>(channels, 0.0));
    for (int c = 0; c < channels; ++c)
        g[c][c] = 1.0;
    return g;
}

} // namespace

class TestMultichannel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!MonitorRecorder::available())
            QFAIL("no private sound server: run through scripts/test.sh");
        // The 5.1 channel check as Ogg Vorbis, in Vorbis order (FL FC FR RL RR LFE); its first
        // four bursts as 3.1, said so in the file (four channels would otherwise be quad: the
        // last two to the rears); and the first burst alone, declared as the centre, as tools
        // often write mono.
        Decoded check = decodeFile(packFile("30 Channel check 5.1"));
        QCOMPARE(check.channels.size(), std::size_t(6));
        const auto& c = check.channels;
        QVERIFY(writeSound(m_dir.filePath("vorbis.mp3"), kRate,
                           {c[0], c[2], c[1], c[4], c[5], c[3]}, SF_FORMAT_OGG | SF_FORMAT_VORBIS));
        QVERIFY(writeSound(m_dir.filePath("declared.mp3"), kRate, {c[0], c[1], c[2], c[3]},
                           SF_FORMAT_WAVEX | SF_FORMAT_PCM_16,
                           {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER,
                            SF_CHANNEL_MAP_LFE}));
        QVERIFY(writeSound(m_dir.filePath("mono.mp3"), kRate, {c[0]},
                           SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, {SF_CHANNEL_MAP_CENTER}));
    }
    void cleanup() { useDevice(qEnvironmentVariable("OPT_PULSE_SINK")); }

    // Channel identification: burst after burst, each file channel reaches its own speaker
    // only, at its level; where the device lacks a speaker, the documented downmix. Played at
    // four times the speed and with volume below full: both act on every channel alike.
    void eachChannelSoundsWhereItShould_data()
    {
        QTest::addColumn<QString>("sink");
        QTest::addColumn<QStringList>("speakers");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("volume");
        QTest::addColumn<Gains>("gains");
        QTest::addColumn<double>("toleranceDb"); // wider for a lossy codec
        QTest::newRow("5.1 on 5.1") << "opt_51" << k51Channels << packFile("30 Channel check 5.1")
                                    << 100 << identity(6) << 1.0;
        QTest::newRow("7.1 on 7.1") << "opt_71" << k71Channels << packFile("31 Channel check 7.1")
                                    << 50 << identity(8) << 1.0;
        // Declared FL FR SL SR FC LFE; the sides go to the device's rears.
        QTest::newRow("5.1 Ogg Vorbis on 5.1")
            << "opt_51" << k51Channels << m_dir.filePath("vorbis.mp3") << 100 << identity(6) << 2.5;
        QTest::newRow("3.1 declared, on 5.1")
            << "opt_51" << k51Channels << m_dir.filePath("declared.mp3") << 100
            << Gains{{1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0}}
            << 1.0;
        QTest::newRow("mono declared as centre, on 5.1")
            << "opt_51" << k51Channels << m_dir.filePath("mono.mp3") << 100
            << Gains{{1, 1, 0, 0, 0, 0}} << 1.0;
        // Centre and surrounds at -3 dB into their fronts, no LFE.
        const double h = kMinus3dB;
        QTest::newRow("5.1 on stereo")
            << qEnvironmentVariable("OPT_PULSE_SINK") << kStereoChannels
            << packFile("30 Channel check 5.1") << 100
            << Gains{{1, 0}, {0, 1}, {h, h}, {0, 0}, {h, 0}, {0, h}} << 1.0;
    }
    void eachChannelSoundsWhereItShould()
    {
        QFETCH(QString, sink);
        QFETCH(QStringList, speakers);
        QFETCH(QString, file);
        QFETCH(int, volume);
        QFETCH(Gains, gains);
        QFETCH(double, toleranceDb);
        useDevice(sink);
        SoundEngine engine;
        engine.setVolume(volume);
        engine.setRate(4);
        MonitorRecorder recorder(sink, speakers);
        recorder.wait(300);
        engine.play(file);
        // Bursts of 1.5 s with 0.5 s between them, played in a quarter of the time.
        const double slot = 0.5;
        recorder.wait(int(gains.size() * slot * 1000) + 1200);
        const auto& heard = recorder.channels;
        const std::size_t start = firstSound(heard, -50);
        QVERIFY2(start != SIZE_MAX, "nothing was heard");
        const double level = -20 + 20 * std::log10(SoundEngine::gainFor(volume));
        for (int burst = 0; burst < gains.size(); ++burst) {
            // The middle of the burst, clear of its fades.
            const auto from = start + std::size_t((burst * slot + 0.05) * kRate);
            const auto to = start + std::size_t((burst * slot + 0.325) * kRate);
            QVERIFY2(to <= heard[0].size(), "the recording ended early");
            for (int c = 0; c < speakers.size(); ++c) {
                const double db = rmsDb(heard[std::size_t(c)], from, to);
                const double gain = gains[burst][c];
                const bool right =
                    gain > 0 ? std::fabs(db - (level + 20 * std::log10(gain))) < toleranceDb
                             : db < kSilentDb;
                QVERIFY2(right, qPrintable(QStringLiteral("burst %1, %2: %3 dB; all: %4")
                                               .arg(burst)
                                               .arg(speakers[c])
                                               .arg(db)
                                               .arg(levels(heard, from, to))));
            }
        }
    }

    // The subwoofer tests on the LFE speaker alone, at their level and frequency.
    void anLfeToneReachesTheSubwooferOnly_data()
    {
        QTest::addColumn<QString>("sink");
        QTest::addColumn<QStringList>("speakers");
        QTest::newRow("5.1 device") << "opt_51" << k51Channels;
        QTest::newRow("7.1 device") << "opt_71" << k71Channels;
    }
    void anLfeToneReachesTheSubwooferOnly()
    {
        QFETCH(QString, sink);
        QFETCH(QStringList, speakers);
        useDevice(sink);
        SoundEngine engine;
        engine.setVolume(100);
        MonitorRecorder recorder(sink, speakers);
        recorder.wait(300);
        engine.play(packFile("26 LFE only 40 Hz"));
        recorder.wait(1500);
        engine.stop();
        recorder.wait(300);
        const int lfe = int(speakers.indexOf("lfe"));
        const auto& heard = recorder.channels;
        const std::size_t start = firstSound(heard, -50);
        QVERIFY2(start != SIZE_MAX, "nothing was heard");
        const std::size_t from = start + kRate / 10, to = start + kRate;
        QVERIFY2(std::fabs(peakDb(heard[lfe], from, to) + 12) < 0.5,
                 qPrintable(levels(heard, from, to)));
        // The pitch where no hole is (one of ours fails below).
        const double f = zeroCrossingFrequency(heard[lfe], from, to, kRate);
        QVERIFY2(std::fabs(f / 40 - 1) < 0.005 || !holes(heard[lfe], kRate, from, to).empty(),
                 qPrintable(QString::number(f)));
        QVERIFY(holesAreNotOurs(heard[lfe], kRate, from, to, engine.underflows(),
                                engine.lateUnderflows()));
        for (int c = 0; c < speakers.size(); ++c)
            if (c != lfe)
                QVERIFY2(peakDb(heard[c]) < kSilentDb, qPrintable(levels(heard, from, to)));
    }

    // The user moves a playing 5.1 test from the 7.1 device to the 5.1 device, as the desktop's
    // sound settings do: it goes on there, laid out for it, on the LFE channel only, and the 7.1
    // device falls silent. The stream says what plays, and the next test on it renames it.
    // The move is the user's choice for this program: the next press, on a new stream, is
    // placed there by the server. Moved back to the default device, it follows the default
    // again.
    void aTestTheUserMovesGoesOnWhereTheUserPutIt()
    {
        useDevice("opt_71");
        SoundEngine engine(std::chrono::milliseconds(500));
        engine.setVolume(100);
        MonitorRecorder on71("opt_71", k71Channels), on51("opt_51", k51Channels);
        on71.wait(300);
        engine.play(packFile("26 LFE only 40 Hz"));
        on71.wait(800);
        auto streams = streamsOfThisProcess();
        QCOMPARE(streams.size(), std::size_t(1));
        const ServerStream& first = streams.front();
        QCOMPARE(first.sink, QString("opt_71"));
        QCOMPARE(first.property("application.name"), QString("Orvo Peln Tandrick"));
        QCOMPARE(first.property("application.id"), QString(APP_ID));
        QCOMPARE(first.property("application.icon_name"), QString(APP_ICON));
        QCOMPARE(first.property("media.role"), QString("test"));
        QCOMPARE(first.property("media.name"), QString("26 LFE only 40 Hz"));

        const std::size_t left = on71.mark();
        QVERIFY(moveStream(first, "opt_51"));
        const std::size_t gone = on71.mark(), arrived = on51.mark();
        on71.wait(1000);
        engine.play(packFile("01 Pink noise 500-2000 Hz (speaker level)"));
        on71.wait(600);
        streams = streamsOfThisProcess();
        QCOMPARE(streams.size(), std::size_t(1));
        QVERIFY2(streams.front().sink == "opt_51" && streams.front().channels == 6,
                 qPrintable(streams.front().text));
        QCOMPARE(streams.front().property("media.name"),
                 QString("01 Pink noise 500-2000 Hz (speaker level)"));
        const std::size_t noise = on51.mark();
        engine.stop();
        on71.wait(1200);

        const std::size_t again = on51.mark(), quiet71 = on71.mark();
        engine.play(packFile("26 LFE only 40 Hz"));
        on71.wait(800);
        streams = streamsOfThisProcess();
        QCOMPARE(streams.size(), std::size_t(1));
        QVERIFY2(streams.front().sink == "opt_51", qPrintable(streams.front().text));
        QVERIFY(moveStream(streams.front(), "opt_71"));
        engine.stop();
        on71.wait(300);
        on51.mark();
        // Moved back to the default device: the program follows the default again.
        on71.wait(900);
        useDevice("opt_sink");
        engine.play(packFile("01 Pink noise 500-2000 Hz (speaker level)"));
        on71.wait(500);
        streams = streamsOfThisProcess();
        QCOMPARE(streams.size(), std::size_t(1));
        QVERIFY2(streams.front().sink == "opt_sink", qPrintable(streams.front().text));
        engine.stop();

        const auto& h71 = on71.channels;
        const auto& h51 = on51.channels;
        QVERIFY2(std::fabs(peakDb(h71[3], left - kRate / 2, left) + 12) < 0.5,
                 qPrintable(levels(h71, left - kRate / 2, left)));
        // Silent on the 7.1 device from the move until it is moved back.
        for (const auto& c : h71)
            QVERIFY2(peakDb(c, gone + kRate / 5, quiet71 + kRate / 2) < kSilentDb,
                     qPrintable(levels(h71, gone + kRate / 5, quiet71)));
        // On the 5.1 device: the LFE tone, then the noise on the front pair, then the tone again.
        const QString tone = levels(h51, arrived + kRate / 2, noise - kRate);
        QVERIFY2(std::fabs(peakDb(h51[3], arrived + kRate / 2, noise - kRate) + 12) < 0.5,
                 qPrintable(tone));
        for (int c : {0, 1, 2, 4, 5})
            QVERIFY2(peakDb(h51[std::size_t(c)], arrived, noise - kRate) < kSilentDb,
                     qPrintable(tone));
        const QString pink = levels(h51, noise - kRate / 4, noise);
        QVERIFY2(std::fabs(rmsDb(h51[0], noise - kRate / 4, noise) + 20) < 1, qPrintable(pink));
        QVERIFY2(rmsDb(h51[3], noise - kRate / 4, noise) < kSilentDb, qPrintable(pink));
        QVERIFY2(std::fabs(peakDb(h51[3], again + kRate / 4, again + kRate * 3 / 4) + 12) < 0.5,
                 qPrintable(levels(h51, again + kRate / 4, again + kRate * 3 / 4)));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestMultichannel)
#include "test_multichannel.moc"
