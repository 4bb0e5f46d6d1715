// Makes low-frequency test sounds (MP3, or FLAC for more than two channels, all named ".mp3"):
// the default pack, or one signal.
//
//   tonegen speech ESPEAK-NG FOLDER   (the spoken channel names and cues, made with espeak-ng)
//   tonegen pack FOLDER SPEECH-FOLDER
//   tonegen sine  --frequency HZ [--seconds S] [--level DBFS] [--channel both|left|right] --output
//   FILE tonegen sweep --from HZ --to HZ [--seconds S] [--level DBFS] [--channel ...] --output FILE
//   tonegen noise --from HZ --to HZ [--seconds S] [--level DBFS] [--channel ...] --output FILE
//
// Levels: peak for sine and sweep, RMS for noise (full scale = amplitude 1).

#include "Mp3Writer.h"
#include "Pack.h"
#include "Speech.h"

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double number(const QMap<QString, QString>& options, const QString& name, double fallback,
              bool required)
{
    if (!options.contains(name)) {
        if (required)
            throw UsageError(("missing --" + name).toStdString());
        return fallback;
    }
    bool ok = false;
    const double value = options[name].toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw UsageError(("--" + name + " is not a number: " + options[name]).toStdString());
    return value;
}

double frequency(const QMap<QString, QString>& options, const QString& name)
{
    const double f = number(options, name, 0, true);
    if (f <= 0)
        throw UsageError(("--" + name + " must be above 0 Hz").toStdString());
    if (f > kSampleRate / 2.0)
        throw UsageError(
            ("--" + name + " must not exceed half the sample rate (22050 Hz)").toStdString());
    return f;
}

int runSingle(const QString& kind, const QStringList& args)
{
    QMap<QString, QString> options;
    for (int i = 0; i < args.size(); i += 2) {
        if (!args[i].startsWith("--") || i + 1 >= args.size())
            throw UsageError(("unexpected argument: " + args[i]).toStdString());
        options[args[i].mid(2)] = args[i + 1];
    }
    const QString output = options.value("output");
    if (output.isEmpty())
        throw UsageError("missing --output");
    const double seconds = number(options, "seconds", 10, false);
    if (seconds <= 0 || seconds > 3600)
        throw UsageError("--seconds must be above 0 and at most 3600");
    const double level = number(options, "level", kind == "noise" ? -20 : -12, false);
    if (level > 0)
        throw UsageError("--level must not be above 0 dBFS");
    const QString channelName = options.value("channel", "both");
    Channels channels = Channels::Both;
    if (channelName == "left")
        channels = Channels::Left;
    else if (channelName == "right")
        channels = Channels::Right;
    else if (channelName != "both")
        throw UsageError("--channel must be both, left or right");

    Signal signal;
    Tags tags;
    if (kind == "sine") {
        const double f = frequency(options, "frequency");
        signal = sineTone(f, seconds, level, channels);
        tags = {QString("Sine %1 Hz").arg(f),
                QString("Sine tone, %1 Hz, %2 dBFS peak").arg(f).arg(level)};
    } else if (kind == "sweep" || kind == "noise") {
        const double from = frequency(options, "from");
        const double to = frequency(options, "to");
        if (to <= from)
            throw UsageError("--to must be above --from");
        if (kind == "sweep") {
            signal = logSweep(from, to, seconds, level, channels);
            tags = {QString("Sweep %1 to %2 Hz").arg(from).arg(to),
                    QString("Logarithmic sweep, %1 Hz to %2 Hz, %3 dBFS peak")
                        .arg(from)
                        .arg(to)
                        .arg(level)};
        } else {
            signal = pinkNoise(from, to, seconds, level, channels, 1);
            tags = {
                QString("Pink noise %1 to %2 Hz").arg(from).arg(to),
                QString("Pink noise, %1 Hz to %2 Hz, %3 dBFS RMS").arg(from).arg(to).arg(level)};
        }
    } else {
        throw UsageError(("unknown signal: " + kind).toStdString());
    }
    applyFades(signal, kFadeSeconds);
    writeMp3(output, signal, tags);
    return 0;
}

int runPack(const QString& folder, const QString& speechFolder)
{
    if (!QDir().mkpath(folder))
        throw std::runtime_error(("cannot create " + folder).toStdString());
    // The sounds are independent: made on every core, the first failure reported.
    const std::vector<PackItem> pack = defaultPack(speechFolder);
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&] {
        for (std::size_t i; (i = next++) < pack.size();) {
            try {
                Signal signal = pack[i].make();
                applyFades(signal, kFadeSeconds);
                writeSound(QDir(folder).filePath(pack[i].name + ".mp3"), signal, pack[i].tags);
            } catch (...) {
                const std::lock_guard lock(failureLock);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> workers(std::max(1u, std::thread::hardware_concurrency()) - 1);
    for (std::thread& worker : workers)
        worker = std::thread(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    try {
        if (args.size() == 3 && args[0] == "pack")
            return runPack(args[1], args[2]);
        if (args.size() == 3 && args[0] == "speech") {
            makeSpeech(args[1], args[2]);
            return 0;
        }
        if (!args.isEmpty() && args[0] != "pack" && args[0] != "speech")
            return runSingle(args[0], args.mid(1));
        throw UsageError("usage: tonegen pack FOLDER SPEECH-FOLDER | tonegen speech ESPEAK-NG "
                         "FOLDER | tonegen sine|sweep|noise --output FILE ...");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonegen: %s\n", e.what());
        return 2;
    }
}
