#include "SoundEngine.h"

#include "Voice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
constexpr int kTickMs = 5;
// Sink buffer while playing, and how much silence stays queued while idle: the less is
// queued ahead, the sooner a press is heard. 30 ms while playing was seen to underrun (and
// click) when the machine was busy; 40 ms did not.
constexpr int kBufferFrames = SoundEngine::kOutputRate * 40 / 1000;
constexpr int kIdleQueueFrames = SoundEngine::kOutputRate * 10 / 1000;
constexpr auto kFadeFrames = std::size_t(SoundEngine::kOutputRate * Voice::kFadeSeconds);
constexpr std::size_t kGainRampFrames = SoundEngine::kOutputRate * 10 / 1000;

void complain(const QString& what)
{
    std::fprintf(stderr, "orvo-peln-tandrick: %s\n", qPrintable(what));
}

} // namespace

// Lives on the engine's thread: owns the sink and the voices and renders the sound.
class SoundWorker : public QObject {
public:
    explicit SoundWorker(EngineState& state)
        : m_state(state), m_gain(state.gain), m_target(state.gain)
    {}

    void start()
    {
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setInterval(kTickMs);
        connect(m_timer, &QTimer::timeout, this, &SoundWorker::service);
        m_timer->start();
        // The output stays open, playing silence while idle: a press then only has to fill
        // a buffer, and a sound starts inside a running stream instead of with a new one.
        openSink();
    }

    void service()
    {
        takeRequest();
        if (!m_sink)
            return;
        if (m_sink->error() == QAudio::FatalError || m_sink->state() == QAudio::StoppedState) {
            // The sound server went away: drop everything; the next play opens a new output.
            complain(QStringLiteral("sound output lost"));
            closeFailedSink();
            return;
        }
        render();
    }

private:
    void takeRequest()
    {
        const EngineState::Request request = m_state.take();
        switch (request.kind) {
        case EngineState::Request::Kind::None:
            return;
        case EngineState::Request::Kind::Stop:
            retireCurrent();
            return;
        case EngineState::Request::Kind::Play:
            retireCurrent();
            try {
                m_current = std::make_unique<Voice>(request.path, SoundEngine::kOutputRate);
            } catch (const std::exception& e) {
                complain(QStringLiteral("cannot play %1: %2")
                             .arg(request.path, QString::fromLocal8Bit(e.what())));
                return;
            }
            if (!m_sink && !openSink())
                m_current.reset();
            m_state.playing = bool(m_current);
            return;
        }
    }

    void retireCurrent()
    {
        if (!m_current)
            return;
        m_current->fadeOut(kFadeFrames);
        m_leaving.push_back(std::move(m_current));
        m_state.playing = false;
    }

    bool openSink()
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format;
        format.setSampleRate(SoundEngine::kOutputRate);
        format.setChannelCount(kChannels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isNull()) {
            complain(QStringLiteral("no sound output device"));
            return false;
        }
        m_sink = new QAudioSink(device, format, this);
        m_sink->setBufferSize(kBufferFrames * kBytesPerFrame);
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            complain(QStringLiteral("cannot open the sound output"));
            closeFailedSink();
            return false;
        }
        return true;
    }

    // Qt 6.4's PulseAudio sink can crash in its destructor once its stream has failed (seen
    // when the sound server went away and came back), so a failed sink is stopped and kept
    // for the rest of the process instead: one small object per failure.
    void closeFailedSink()
    {
        m_current.reset();
        m_leaving.clear();
        m_state.playing = false;
        if (m_sink) {
            m_sink->stop();
            m_sink->setParent(nullptr);
            static auto* const failed = new std::vector<QAudioSink*>;
            failed->push_back(m_sink);
        }
        m_sink = nullptr;
        m_io = nullptr;
    }

    void render()
    {
        const bool active = m_current || !m_leaving.empty();
        const qsizetype freeFrames = m_sink->bytesFree() / kBytesPerFrame;
        const qsizetype queued = m_sink->bufferSize() / kBytesPerFrame - freeFrames;
        const qsizetype frames =
            active ? freeFrames : std::max<qsizetype>(0, kIdleQueueFrames - queued);
        if (frames <= 0)
            return;

        m_mix.assign(std::size_t(frames) * kChannels, 0.0f);
        m_gains.resize(std::size_t(frames));
        rampGain(std::size_t(frames));
        const double rate = m_state.rate.load();
        const bool loop = m_state.loop.load();
        if (m_current &&
            !m_current->mixInto(m_mix.data(), std::size_t(frames), m_gains.data(), rate, loop)) {
            m_current.reset();
            m_state.playing = false;
        }
        for (auto& voice : m_leaving)
            voice->mixInto(m_mix.data(), std::size_t(frames), m_gains.data(), rate, loop);
        std::erase_if(m_leaving, [](const auto& voice) { return voice->finished(); });

        m_pcm.resize(m_mix.size());
        for (std::size_t i = 0; i < m_mix.size(); ++i)
            m_pcm[i] = qint16(std::lround(std::clamp(m_mix[i], -1.0f, 1.0f) * 32767.0f));
        m_io->write(reinterpret_cast<const char*>(m_pcm.data()), qint64(m_pcm.size() * 2));
    }

    // Moves the gain toward the requested one in a straight line over 10 ms.
    void rampGain(std::size_t frames)
    {
        const float target = m_state.gain.load();
        if (target != m_target) {
            m_target = target;
            m_step = (target - m_gain) / float(kGainRampFrames);
            m_rampLeft = kGainRampFrames;
        }
        for (std::size_t i = 0; i < frames; ++i) {
            if (m_rampLeft) {
                m_gain += m_step;
                if (--m_rampLeft == 0)
                    m_gain = m_target;
            }
            m_gains[i] = m_gain;
        }
    }

    EngineState& m_state;
    QTimer* m_timer = nullptr;
    QAudioSink* m_sink = nullptr;
    QIODevice* m_io = nullptr;
    std::unique_ptr<Voice> m_current;
    std::vector<std::unique_ptr<Voice>> m_leaving;
    std::vector<float> m_mix;
    std::vector<float> m_gains;
    std::vector<qint16> m_pcm;
    float m_gain;
    float m_target;
    float m_step = 0.0f;
    std::size_t m_rampLeft = 0;
};

SoundEngine::SoundEngine() : m_thread(std::make_unique<QThread>())
{
    m_state.gain = gainFor(Playback::kDefaultVolume);
    m_thread->setObjectName(QStringLiteral("sound"));
    m_worker = new SoundWorker(m_state);
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::started, m_worker, &SoundWorker::start);
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start(QThread::TimeCriticalPriority);
}

SoundEngine::~SoundEngine()
{
    m_thread->quit();
    m_thread->wait();
}

float SoundEngine::gainFor(int volume)
{
    const float v = float(std::clamp(volume, 0, Playback::kMaxVolume)) / Playback::kMaxVolume;
    return v * v;
}

void SoundEngine::wake()
{
    QMetaObject::invokeMethod(m_worker, &SoundWorker::service, Qt::QueuedConnection);
}

void SoundEngine::play(const QString& path)
{
    m_state.post({EngineState::Request::Kind::Play, path});
    wake();
}

void SoundEngine::stop()
{
    m_state.post({EngineState::Request::Kind::Stop, QString()});
    wake();
}

void SoundEngine::setLooping(bool loop)
{
    m_state.loop = loop;
}

void SoundEngine::setVolume(int volume)
{
    m_state.gain = gainFor(volume);
    wake();
}

void SoundEngine::setRate(double rate)
{
    m_state.rate = rate;
    wake();
}

bool SoundEngine::isPlaying() const
{
    return m_state.playing;
}
