#include "ChannelRouting.h"

#include <QTest>

// Which file channel reaches which output channel, and how loud, for the layouts that matter.
namespace {

using enum Speaker;
constexpr float h = 0.70710678f; // -3 dB

using Matrix = QList<QList<float>>; // per output channel, the gain from each file channel

const SpeakerLayout kStereo = standardLayout(2);
const SpeakerLayout k51 = standardLayout(6);
const SpeakerLayout k71 = standardLayout(8);
// How PulseAudio lays out a 5.1 device (ALSA order), and a 5.1 layout with side surrounds.
const SpeakerLayout k51Device{FrontLeft, FrontRight, RearLeft, RearRight, FrontCentre, Lfe};
const SpeakerLayout k51Side{FrontLeft, FrontRight, FrontCentre, Lfe, SideLeft, SideRight};

} // namespace

Q_DECLARE_METATYPE(SpeakerLayout)

class TestChannelRouting : public QObject {
    Q_OBJECT
private slots:
    void everyFileChannelGoesWhereItBelongs_data()
    {
        QTest::addColumn<SpeakerLayout>("file");
        QTest::addColumn<SpeakerLayout>("output");
        QTest::addColumn<Matrix>("expected");
        // File order FL FR FC LFE RL RR (SL SR): ITU-R BS.775, LFE left out.
        QTest::newRow("5.1 on stereo")
            << k51 << kStereo << Matrix{{1, 0, h, 0, h, 0}, {0, 1, h, 0, 0, h}};
        QTest::newRow("7.1 on stereo")
            << k71 << kStereo << Matrix{{1, 0, h, 0, h, 0, h, 0}, {0, 1, h, 0, 0, h, 0, h}};
        // By name, not by number: the device lists its channels in another order.
        QTest::newRow("5.1 on a 5.1 device")
            << k51 << k51Device
            << Matrix{{1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 0},
                      {0, 0, 0, 0, 0, 1}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0}};
        QTest::newRow("7.1 on 5.1: each side joins its rear")
            << k71 << k51
            << Matrix{{1, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0},
                      {0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 0, 1, 0}, {0, 0, 0, 0, 0, 1, 0, 1}};
        QTest::newRow("5.1 with rears on 5.1 with sides")
            << k51 << k51Side << Matrix{{1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0},
                                        {0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}};
        // Vorbis and Opus order: FL FC FR RL RR LFE, then FL FC FR SL SR RL RR LFE.
        QTest::newRow("5.1 in Vorbis order on a 5.1 device")
            << vorbisLayout(6) << k51Device
            << Matrix{{1, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0},
                      {0, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 1}};
        QTest::newRow("7.1 in Vorbis order on 7.1")
            << vorbisLayout(8) << k71
            << Matrix{{1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0, 0},
                      {0, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 0, 1, 0},
                      {0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 0, 0, 0}};
        QTest::newRow("stereo on 7.1: the front pair only")
            << kStereo << k71
            << Matrix{{1, 0}, {0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
        QTest::newRow("mono on 5.1: both fronts at full level")
            << standardLayout(1) << k51 << Matrix{{1}, {1}, {0}, {0}, {0}, {0}};
        // FL FR FC LFE RC SL SR: rear centre into both rears, else both sides, else both fronts.
        QTest::newRow("6.1 on 7.1")
            << standardLayout(7) << k71
            << Matrix{{1, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0},
                      {0, 0, 0, 1, 0, 0, 0}, {0, 0, 0, 0, h, 0, 0}, {0, 0, 0, 0, h, 0, 0},
                      {0, 0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 0, 1}};
        QTest::newRow("6.1 on stereo")
            << standardLayout(7) << kStereo
            << Matrix{{1, 0, h, 0, 0.5f, h, 0}, {0, 1, h, 0, 0.5f, 0, h}};
        QTest::newRow("channels beyond eight are not played")
            << standardLayout(10) << kStereo
            << Matrix{{1, 0, h, 0, h, 0, h, 0, 0, 0}, {0, 1, h, 0, 0, h, 0, h, 0, 0}};
        QTest::newRow("a device without a front pair gets stereo")
            << kStereo << outputLayoutFor({Other, Other, Other}) << Matrix{{1, 0}, {0, 1}};
        QTest::newRow("a mono device gets stereo")
            << standardLayout(1) << outputLayoutFor({Mono}) << Matrix{{1}, {1}};
    }
    void everyFileChannelGoesWhereItBelongs()
    {
        QFETCH(SpeakerLayout, file);
        QFETCH(SpeakerLayout, output);
        QFETCH(Matrix, expected);
        const ChannelRouting routing(file, output);
        QCOMPARE(routing.outputs(), int(expected.size()));
        for (int out = 0; out < routing.outputs(); ++out) {
            QCOMPARE(routing.inputs(), int(expected[out].size()));
            for (int in = 0; in < routing.inputs(); ++in)
                QVERIFY2(std::fabs(routing.gain(in, out) - expected[out][in]) < 1e-6,
                         qPrintable(QStringLiteral("file %1 -> output %2: %3")
                                        .arg(in)
                                        .arg(out)
                                        .arg(routing.gain(in, out))));
        }
    }
};

QTEST_GUILESS_MAIN(TestChannelRouting)
#include "test_channelrouting.moc"
