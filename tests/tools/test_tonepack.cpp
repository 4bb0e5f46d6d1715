#include "Audio.h"
#include "FileList.h"
#include "Pack.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString packFile(const QString& name)
{
    return QStringLiteral(PACK_DIR "/") + name + ".mp3";
}

double captureNumber(const QString& text, const char* pattern)
{
    const auto m = QRegularExpression(QString::fromLatin1(pattern)).match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
}

int runTonegen(const QStringList& args, QString* errors = nullptr)
{
    QProcess p;
    p.start(TONEGEN, args);
    p.waitForFinished(120000);
    if (errors)
        *errors = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

std::vector<float> slice(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    return std::vector<float>(x.begin() + long(from), x.begin() + long(std::min(to, x.size())));
}

// A spoken check, step by step (3 s each): the name in the first second on its channel (the
// front pair for the LFE), then a 1.5 s burst on that channel, then 0.5 s of silence.
void checkSpokenSteps(const Decoded& sound, std::size_t channels)
{
    constexpr std::size_t kSecond = 44100;
    QCOMPARE(sound.frames(), channels * 3 * kSecond);
    for (std::size_t c = 0; c < channels; ++c) {
        const bool lfe = c == std::size_t(kLfeChannel);
        const std::size_t at = c * 3 * kSecond, burstAt = at + kSecond, end = burstAt + 2 * kSecond;
        const auto step = QStringLiteral("step %1: ").arg(c);
        for (std::size_t k = 0; k < channels; ++k) {
            const auto& x = sound.channels[k];
            const bool speaks = lfe ? k < 2 : k == c;
            if (speaks) {
                // Speech, not noise or a tone: most of it in the speech band, at the level
                // every name has.
                // The spoken part: from its first to its last sample above -60 dBFS.
                const auto [from, to] = soundSpan(x, 1e-3f, at, burstAt);
                const double spoken = rmsDb(x, from, to);
                const double band = spoken + 10 * std::log10(energyShareInBand(slice(x, from, to),
                                                                               44100, 300, 3400));
                QVERIFY2(band > -22 && std::fabs(spoken + 20) <= 1,
                         qPrintable(step + QStringLiteral("band %1 dB, spoken %2 dB on %3")
                                               .arg(band)
                                               .arg(spoken)
                                               .arg(k)));
                // Its end well before the burst: 0.1 s of silence at least.
                QVERIFY2(peakDb(x, burstAt - kSecond / 10, burstAt) < -90, qPrintable(step));
            } else {
                QVERIFY2(peakDb(x, at, burstAt) < -90, qPrintable(step + QString::number(k)));
            }
            if (k != c)
                QVERIFY2(peakDb(x, burstAt, end) < -90, qPrintable(step + QString::number(k)));
        }
        const auto burst = slice(sound.channels[c], burstAt, burstAt + 3 * kSecond / 2);
        QVERIFY2(std::fabs(rmsDb(burst) + 20) <= 0.2,
                 qPrintable(step + QString::number(rmsDb(burst))));
        const double share = energyShareInBand(burst, 44100, lfe ? 27 : 450, lfe ? 88 : 2200);
        QVERIFY2(share > 0.98, qPrintable(step + QString::number(share)));
        // Silence after the burst, clear of the codec's last block.
        QVERIFY2(peakDb(sound.channels[c], burstAt + 3 * kSecond / 2 + kSecond / 20, end) < -90,
                 qPrintable(step));
    }
}

QByteArray sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestTonePack : public QObject {
    Q_OBJECT
private slots:
    // The list shows the pack in its intended order, and the test a first start selects is
    // one that every speaker plays and every ear hears.
    void theListOpensOnAnAudibleTest()
    {
        const NameList listed = GetFileList(PACK_DIR, "*.*");
        QStringList shown, intended;
        for (int i = 1; i <= listed.upper; ++i)
            shown << entryText(listed.at(i));
        for (const PackItem& item : defaultPack())
            intended << item.name;
        QCOMPARE(shown, intended);
        QCOMPARE(shown.first(), QString("01 Pink noise 500-2000 Hz (speaker level)"));
        QVERIFY(shown.mid(1, 4).join(' ').contains(QRegularExpression("^02 Sine 40 Hz .*80 Hz$")));
    }

    void everySoundKeepsWhatItsTagPromises_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        for (const PackItem& item : defaultPack())
            QTest::newRow(qPrintable(item.name)) << item.name << item.tags.description;
    }
    void everySoundKeepsWhatItsTagPromises()
    {
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFile raw(packFile(name));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY2(raw.readAll().contains(description.toLatin1()),
                 "description missing from the tag");

        const Decoded sound = decodeFile(packFile(name));
        QCOMPARE(sound.rate, 44100);
        const double seconds = captureNumber(description, "(\\d+) s$");
        QCOMPARE(double(sound.frames()), seconds * 44100);

        // Silence at both ends, reached smoothly: no step at the first or last sample.
        const std::size_t n = sound.frames();
        const std::size_t channels = description.contains("7.1")   ? 8
                                     : description.contains("5.1") ? 6
                                                                   : 2;
        QCOMPARE(sound.channels.size(), channels);
        for (const auto& channel : sound.channels) {
            QVERIFY(std::fabs(channel.front()) < 1e-3 && std::fabs(channel.back()) < 1e-3);
            QVERIFY(largestStep(channel, 0, 64) < 0.01);
            QVERIFY(largestStep(channel, n - 64, n) < 0.01);
        }
        if (description.startsWith("Spoken")) {
            checkSpokenSteps(sound, channels);
            return;
        }
        if (description.contains("in turn")) {
            // 1.5 s on each channel, 0.5 s apart: its level there, every other channel silent.
            for (std::size_t c = 0; c < channels; ++c) {
                const std::size_t from = c * 2 * 44100, to = from + 3 * 44100 / 2;
                for (std::size_t other = 0; other < channels; ++other)
                    if (other != c)
                        QCOMPARE(peakDb(sound.channels[other], from, to + 44100 / 2), -240.0);
                const auto burst = std::vector<float>(sound.channels[c].begin() + long(from),
                                                      sound.channels[c].begin() + long(to));
                QVERIFY2(std::fabs(rmsDb(burst) + 20) <= 0.2, qPrintable(QString::number(c)));
                const bool lfe = c == std::size_t(kLfeChannel);
                const double share =
                    energyShareInBand(burst, 44100, lfe ? 27 : 450, lfe ? 88 : 2200);
                QVERIFY2(share > 0.98, qPrintable(QString::number(share)));
            }
            return;
        }

        const bool leftOnly = description.contains("left channel only");
        const bool rightOnly = description.contains("right channel only");
        const bool lfeOnly = description.contains("LFE channel");
        const std::vector<float>& heard = sound.channels[rightOnly ? 1
                                                         : lfeOnly ? std::size_t(kLfeChannel)
                                                                   : 0];
        if (leftOnly || rightOnly || lfeOnly)
            for (const auto& channel : sound.channels)
                if (&channel != &heard)
                    QVERIFY(peakDb(channel) < -90);

        const double peak = captureNumber(description, "(-?\\d+) dBFS peak");
        const double rms = captureNumber(description, "(-?\\d+) dBFS RMS");
        if (!qIsNaN(peak))
            QVERIFY2(std::fabs(peakDb(heard) - peak) <= 0.2,
                     qPrintable(QString::number(peakDb(heard))));
        if (!qIsNaN(rms))
            QVERIFY2(std::fabs(rmsDb(heard) - rms) <= 0.2,
                     qPrintable(QString::number(rmsDb(heard))));

        const double tone = captureNumber(description, "^Sine tone, ([0-9.]+) Hz");
        if (!qIsNaN(tone)) {
            const double f = zeroCrossingFrequency(heard, 44100 / 10, n - 44100 / 10, 44100);
            QVERIFY2(std::fabs(f / tone - 1) <= 0.001, qPrintable(QString::number(f)));
        }
        if (description.startsWith("Pink noise")) {
            const double low = captureNumber(description, "Pink noise, ([0-9.]+) Hz");
            const double high = description.contains("to 2 kHz")
                                    ? 2000
                                    : captureNumber(description, "to ([0-9.]+) Hz");
            const double share = energyShareInBand(heard, 44100, low * 0.9, high * 1.1);
            QVERIFY2(share > 0.99, qPrintable(QString::number(share)));
        }
        // The phase pair: the same noise on both sides, then with one side turned over.
        if (description.contains("in phase") || description.contains("inverted")) {
            double both = 0, l2 = 0, r2 = 0;
            for (std::size_t i = 0; i < n; ++i) {
                both += double(sound.left[i]) * sound.right[i];
                l2 += double(sound.left[i]) * sound.left[i];
                r2 += double(sound.right[i]) * sound.right[i];
            }
            const double correlation = both / std::sqrt(l2 * r2);
            QCOMPARE(qRound(correlation * 1000), description.contains("inverted") ? -1000 : 1000);
        }
        if (description.startsWith("Asymmetric")) {
            float highest = 0, lowest = 0;
            for (float v : heard) {
                highest = std::max(highest, v);
                lowest = std::min(lowest, v);
            }
            QVERIFY(highest > 3 * -lowest);
        }
    }

    void outputIsTheSameOnEveryRun()
    {
        QTemporaryDir dir;
        const QStringList args{"noise", "--from", "20", "--to", "80", "--seconds", "2"};
        QCOMPARE(runTonegen(args + QStringList{"--output", dir.filePath("a.mp3")}), 0);
        QCOMPARE(runTonegen(args + QStringList{"--output", dir.filePath("b.mp3")}), 0);
        QFile a(dir.filePath("a.mp3")), b(dir.filePath("b.mp3"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray first = a.readAll();
        QVERIFY(first.size() > 10000);
        QCOMPARE(first, b.readAll());
    }

    // The spoken checks made again from scratch, espeak-ng's speech included, are the same bytes
    // as the build's.
    void theSpokenChecksAreTheSameOnEveryBuild()
    {
        QTemporaryDir dir;
        QString errors;
        QCOMPARE(runTonegen({"speech", ESPEAK_NG, dir.filePath("speech")}, &errors), 0);
        QCOMPARE(runTonegen({"pack", dir.filePath("sounds"), dir.filePath("speech")}, &errors), 0);
        const QStringList spoken{"32 Channel check stereo (spoken)",
                                 "33 Channel check 5.1 (spoken)", "34 Channel check 7.1 (spoken)"};
        for (const QString& name : spoken) {
            const QByteArray built = sha256(packFile(name));
            QVERIFY2(!built.isEmpty(), qPrintable(name));
            QCOMPARE(sha256(dir.filePath("sounds/" + name + ".mp3")), built);
        }
    }

    void aSingleSignalIsMadeAsAsked()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("tone.mp3");
        QCOMPARE(runTonegen({"sine", "--frequency", "1000", "--seconds", "1", "--level", "-6",
                             "--channel", "right", "--output", path}),
                 0);
        const Decoded sound = decodeFile(path);
        QCOMPARE(sound.frames(), std::size_t(44100));
        QVERIFY(std::fabs(peakDb(sound.right) + 6) < 0.2);
        QVERIFY(peakDb(sound.left) < -90);
        QVERIFY(std::fabs(zeroCrossingFrequency(sound.right, 4410, 39690, 44100) - 1000) < 1);
    }

    void badArgumentsAreRefusedAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("zero frequency") << QStringList{"sine", "--frequency", "0"} << "above 0 Hz";
        QTest::newRow("negative frequency")
            << QStringList{"sine", "--frequency", "-50"} << "above 0 Hz";
        QTest::newRow("above half the rate")
            << QStringList{"sine", "--frequency", "22051"} << "half the sample rate";
        QTest::newRow("level above 0")
            << QStringList{"sine", "--frequency", "50", "--level", "1"} << "0 dBFS";
        QTest::newRow("not a number")
            << QStringList{"sine", "--frequency", "fifty"} << "not a number";
        QTest::newRow("sweep backwards")
            << QStringList{"sweep", "--from", "250", "--to", "10"} << "--to";
        QTest::newRow("unwritable output")
            << QStringList{"sine", "--frequency", "50", "--output", "/proc/nope/x.mp3"}
            << "cannot write";
    }
    void badArgumentsAreRefusedAndWriteNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir dir;
        if (!args.contains("--output"))
            args << "--output" << dir.filePath("out.mp3");
        QString errors;
        QVERIFY(runTonegen(args, &errors) != 0);
        QVERIFY2(errors.contains(message), qPrintable(errors));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTonePack)
#include "test_tonepack.moc"
