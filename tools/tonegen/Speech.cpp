#include "Speech.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cmath>
#include <samplerate.h>
#include <sndfile.h>
#include <stdexcept>

namespace {

// espeak-ng's own voices all speak at this rate; another rate means another voice.
constexpr int kSpeechRate = 22050;

void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

} // namespace

const std::vector<Phrase>& channelNames()
{
    static const std::vector<Phrase> names{
        {"front-left", "front left"}, {"front-right", "front right"}, {"centre", "centre"},
        {"subwoofer", "subwoofer"},   {"rear-left", "rear left"},     {"rear-right", "rear right"},
        {"side-left", "side left"},   {"side-right", "side right"},
    };
    return names;
}

const std::vector<Phrase>& cues()
{
    static const std::vector<Phrase> words{
        {"normal", "normal"},
        {"subwoofer-inverted", "subwoofer inverted"},
    };
    return words;
}

QStringList espeakArguments()
{
    // British English, 150 words a minute, middle pitch, amplitude 100, no extra gap between
    // words and no pause after the sentence.
    return {"-v", "en-gb", "-s", "150", "-p", "50", "-a", "100", "-g", "0", "-z"};
}

void makeSpeech(const QString& espeak, const QString& folder)
{
    if (!QDir().mkpath(folder))
        fail("cannot create " + folder);
    std::vector<Phrase> phrases = channelNames();
    phrases.insert(phrases.end(), cues().begin(), cues().end());
    for (const Phrase& phrase : phrases) {
        const QString path = QDir(folder).filePath(phrase.file + ".wav");
        QProcess p;
        p.start(espeak, espeakArguments() + QStringList{"-w", path, phrase.text});
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            fail(espeak + " failed for \"" + phrase.text +
                 "\": " + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString());
    }
}

Signal loadSpeech(const QString& path, double rmsDb, double fadeSeconds)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        fail("cannot read " + path + ": " + sf_strerror(nullptr));
    std::vector<float> speech(std::size_t(info.frames) * std::size_t(std::max(info.channels, 1)));
    const sf_count_t read = sf_readf_float(file, speech.data(), info.frames);
    sf_close(file);
    if (info.channels != 1 || info.samplerate != kSpeechRate || read != info.frames || read == 0)
        fail(path + " is not espeak-ng's mono speech at 22050 Hz");

    // libsamplerate's best converter: no randomness, so the same speech gives the same samples.
    Signal out{1, std::vector<float>(speech.size() * 2 + 64)};
    SRC_DATA data{};
    data.data_in = speech.data();
    data.input_frames = long(speech.size());
    data.data_out = out.samples.data();
    data.output_frames = long(out.samples.size());
    data.src_ratio = double(kSampleRate) / kSpeechRate;
    if (const int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1))
        fail(QString("cannot resample ") + path + ": " + src_strerror(error));
    out.samples.resize(std::size_t(data.output_frames_gen));

    // The spoken part: from the first to the last sample within 60 dB of the peak.
    float peak = 0;
    for (float v : out.samples)
        peak = std::max(peak, std::fabs(v));
    const float floor = peak * 1e-3f;
    std::size_t first = 0, last = out.samples.size();
    while (first < last && std::fabs(out.samples[first]) <= floor)
        ++first;
    while (last > first && std::fabs(out.samples[last - 1]) <= floor)
        --last;
    if (last == first)
        fail(path + " is silent");
    out.samples.assign(out.samples.begin() + long(first), out.samples.begin() + long(last));

    applyFades(out, fadeSeconds);
    double sumSquares = 0;
    for (float v : out.samples)
        sumSquares += double(v) * v;
    const double scale = dbToAmplitude(rmsDb) / std::sqrt(sumSquares / double(out.samples.size()));
    for (float& v : out.samples)
        v = float(v * scale);
    return out;
}
