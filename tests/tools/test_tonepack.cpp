#include "Audio.h"
#include "FileList.h"
#include "Pack.h"
#include "Speech.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

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

// Speech between `at` and `end`, not noise or a tone: most of it in the speech band, at the
// level every name has, and ended 0.1 s before `end` at least; the words of `phrase` (a file of
// the build's speech folder) from `at` on.
void checkSpeech(const std::vector<float>& x, std::size_t at, std::size_t end, const QString& where,
                 const QString& phrase)
{
    const Signal said = loadSpeech(QStringLiteral(SPEECH_DIR "/") + phrase + ".wav", -20, 0.02);
    std::vector<float> heard(said.samples.size());
    std::copy_n(x.begin() + long(at), heard.size(), heard.begin());
    QVERIFY2(correlation(heard, said.samples) > 0.9, qPrintable(where + ": not " + phrase));
    // The spoken part: from its first to its last sample above -60 dBFS.
    const auto [from, to] = soundSpan(x, 1e-3f, at, end);
    QVERIFY2(to > from + 4410, qPrintable(where + ": nothing said"));
    const double spoken = rmsDb(x, from, to);
    const double band =
        spoken + 10 * std::log10(energyShareInBand(slice(x, from, to), 44100, 300, 3400));
    QVERIFY2(
        band > -22 && std::fabs(spoken + 20) <= 1,
        qPrintable(where + QStringLiteral(": band %1 dB, spoken %2 dB").arg(band).arg(spoken)));
    QVERIFY2(peakDb(x, end - 44100 / 10, end) < -90, qPrintable(where));
}

// What a test of channels and steps plays, segment by segment: from `from` for `seconds`, on
// the channels `on`, every other channel silent meanwhile.
struct Segment {
    enum Kind { Speech, Noise, Sine, Click, Burst, Silence } kind;
    double from, seconds;
    std::vector<std::size_t> on;
    double low = 0, high = 0; // a noise's band; a sine's or burst's frequency in `low`
    double lfeSign = 1;       // the LFE against each front channel, where they play together
    QString phrase = {};      // what is said
};

// The plan a test's description and the README give, by title; none for a plain signal.
std::vector<Segment> planOf(const QString& title)
{
    using S = Segment;
    constexpr std::size_t lfe = kLfeChannel;
    std::vector<S> plan;
    const std::size_t n = title.contains("7.1") ? 8 : title.contains("5.1") ? 6 : 2;
    const auto nameOn = [](std::size_t c) {
        return c == lfe ? std::vector<std::size_t>{0, 1} : std::vector<std::size_t>{c};
    };
    const auto phrase = [](std::size_t c) { return channelNames()[c].file; };
    // A step of `length` seconds: `words` said on `said` within `name` seconds, then `body`,
    // then silence (clear of the codec's last block) to the step's end.
    const auto step = [&](double at, double name, std::vector<std::size_t> said, S body,
                          double length, const QString& words) {
        if (name > 0)
            plan.push_back({S::Speech, at, name, std::move(said), 0, 0, 1, words});
        body.from += at + name;
        plan.push_back(body);
        const double quiet = body.from + body.seconds + 0.05;
        plan.push_back({S::Silence, quiet, at + length - quiet, {}});
    };
    const auto noise = [](std::size_t c, double seconds, double lfeLow) {
        return S{S::Noise, 0, seconds, {c}, c == lfe ? lfeLow : 500, c == lfe ? 80.0 : 2000};
    };
    if (title.startsWith("Channel check")) {
        const bool spoken = title.endsWith("(spoken)");
        for (std::size_t c = 0; c < n; ++c)
            step((spoken ? 3.0 : 2.0) * double(c), spoken ? 1 : 0, nameOn(c), noise(c, 1.5, 30),
                 spoken ? 3 : 2, phrase(c));
    } else if (title.startsWith("Level match")) {
        for (std::size_t c = 0; c < n; ++c)
            step(10.0 * double(c), 1, nameOn(c), noise(c, 8, 20), 10, phrase(c));
    } else if (title.startsWith("Bass management")) {
        double at = 0;
        for (std::size_t c : {0, 1, 2, 4, 5}) {
            step(at, 1, {c}, {S::Sine, 0, 5, {c}, 40}, 7, phrase(c));
            at += 7;
        }
    } else if (title.startsWith("Subwoofer phase")) {
        const double f = title.contains("120") ? 120 : 80;
        for (int k = 0; k < 6; ++k)
            step(6.0 * k, 1.5, {0, 1}, {S::Sine, 0, 4, {0, 1, lfe}, f, 0, k % 2 ? -1.0 : 1.0}, 6,
                 k % 2 ? "subwoofer-inverted" : "normal");
    } else if (title.startsWith("Distance check")) {
        double at = 0;
        for (std::size_t c : {1, 2, 4, 5}) {
            plan.push_back({S::Speech, at, 1, {c}, 0, 0, 1, phrase(c)});
            for (int k = 0; k < 9; ++k) {
                // A click on FL, on the channel, on both; a second's rest after each three.
                const double t = at + 1.25 + 0.5 * k + 0.5 * (k / 3);
                plan.push_back({S::Click, t, 0.005,
                                k % 3 == 0   ? std::vector<std::size_t>{0}
                                : k % 3 == 1 ? std::vector{c}
                                             : std::vector<std::size_t>{0, c}});
                plan.push_back({S::Silence,
                                t + 0.006,
                                k == 8       ? 0.7
                                : k % 3 == 2 ? 0.99
                                             : 0.49,
                                {}});
            }
            at += 7;
        }
    } else if (title.startsWith("Subwoofer bursts")) {
        int k = 0;
        for (double f : {20.0, 25.0, 31.5, 40.0, 50.0, 63.0})
            for (int i = 0; i < 4; ++i, ++k) {
                plan.push_back({S::Burst, 0.25 + k, 6.5 / f, {0, 1, lfe}, f});
                plan.push_back({S::Silence, 0.26 + k + 6.5 / f, 0.98 - 6.5 / f, {}});
            }
    }
    return plan;
}

void checkPlan(const Decoded& sound, const std::vector<Segment>& plan)
{
    const auto frame = [](double seconds) { return std::size_t(std::llround(seconds * 44100)); };
    for (const Segment& part : plan) {
        const std::size_t a = frame(part.from), b = frame(part.from + part.seconds);
        const std::size_t inA = a + frame(0.05), inB = b - frame(0.05);
        const QString where = QStringLiteral("at %1 s").arg(part.from);
        for (std::size_t c = 0; c < sound.channels.size(); ++c) {
            const auto& x = sound.channels[c];
            if (std::find(part.on.begin(), part.on.end(), c) == part.on.end()) {
                QVERIFY2(peakDb(x, a, b) < -90, qPrintable(where + " on " + QString::number(c)));
                continue;
            }
            switch (part.kind) {
            case Segment::Speech:
                checkSpeech(x, a, b, where, part.phrase);
                break;
            case Segment::Noise:
            case Segment::Sine:
                // Level over the whole segment; the band of a steady noise from its first 2 s.
                QVERIFY2(std::fabs(rmsDb(x, inA, inB) + 20) <= 0.2, qPrintable(where));
                QVERIFY2(part.kind == Segment::Sine
                             ? std::fabs(zeroCrossingFrequency(x, inA, inB, 44100) / part.low - 1) <
                                   1e-3
                             : energyShareInBand(slice(x, inA, std::min(inB, inA + 88200)), 44100,
                                                 part.low * 0.9, part.high * 1.1) > 0.99,
                         qPrintable(where));
                break;
            case Segment::Silence:
                break;
            case Segment::Click:
                QVERIFY2(std::fabs(peakDb(x, a, b) + 12) <= 0.5, qPrintable(where));
                break;
            case Segment::Burst:
                for (std::size_t i = a; i < b; ++i) {
                    const double t = double(i - a) / 44100, w = 2 * M_PI * part.low * t;
                    const double want =
                        std::pow(10.0, -0.6) * 0.5 * (1 - std::cos(w / 6.5)) * std::sin(w);
                    QVERIFY2(std::fabs(x[i] - want) < 1e-3, qPrintable(where));
                }
                break;
            }
            if (QTest::currentTestFailed())
                return;
        }
        // The LFE in phase with each of the front pair, or turned over, where they play.
        if (part.kind == Segment::Sine && part.on.size() == 3)
            for (std::size_t front : {0, 1})
                QCOMPARE(
                    qRound(100 * correlation(sound.channels[front],
                                             sound.channels[std::size_t(kLfeChannel)], inA, inB)),
                    qRound(100 * part.lfeSign));
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
        if (const auto plan = planOf(name.mid(3)); !plan.empty()) {
            checkPlan(sound, plan);
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
        if (description.contains("in phase") || description.contains("inverted"))
            QCOMPARE(qRound(correlation(sound.left, sound.right) * 1000),
                     description.contains("inverted") ? -1000 : 1000);
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
    // as the build's. The bytes do not depend on the build; under the sanitizers the build's own
    // making of the pack has run the same code already.
    void theSpokenChecksAreTheSameOnEveryBuild()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("made and compared in the plain build");
#endif
        QTemporaryDir dir;
        QString errors;
        QCOMPARE(runTonegen({"speech", ESPEAK_NG, dir.filePath("speech")}, &errors), 0);
        QCOMPARE(runTonegen({"pack", dir.filePath("sounds"), dir.filePath("speech")}, &errors), 0);
        for (const PackItem& item : defaultPack()) {
            const QString& name = item.name;
            if (!name.endsWith("(spoken)"))
                continue;
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
