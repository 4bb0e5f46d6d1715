#include "SoundEngine.h"

#include "PulseOutput.h"
#include "RealtimeThread.h"
#include "Voice.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTickMs = 5;
// What the stream keeps queued while playing: the less, the sooner a volume or rate change is
// heard. At 30 ms the server ran short (a 7.5 ms hole) in 3 of 10 six-second plays on an idle
// two-core machine, a bare libpulse player alike; at 40 ms in none.
constexpr int kBufferMs = 40;
constexpr int kGainRampMs = 10;
// How long an exit, or a move to another device, waits at most for the last fade to be played:
// what is queued, the fade, and room for the server's step.
constexpr int kExitDrainMs = kBufferMs + 15;

int framesIn(int rate, double milliseconds)
{
    return int(rate * milliseconds / 1000.0);
}

void complain(const QString& what)
{
    std::fprintf(stderr, "orvo-peln-tandrick: %s\n", qPrintable(what));
}

} // namespace

// Lives on the engine's thread: owns the output and the voices and renders the sound, only
// while there is sound to play. The stream stays uncorked for a warm spell after it, so that
// presses in quick succession start at once; then it is corked.
class SoundWorker : public QObject {
public:
    SoundWorker(EngineState& state, std::chrono::milliseconds warm)
        : m_state(state), m_warmMs(int(warm.count())), m_gain(state.gain), m_target(state.gain)
    {}

    void start()
    {
        runThisThreadAheadOfOrdinaryWork();
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setInterval(kTickMs);
        connect(m_timer, &QTimer::timeout, this, &SoundWorker::service);
        m_corkTimer = new QTimer(this);
        m_corkTimer->setSingleShot(true);
        connect(m_corkTimer, &QTimer::timeout, this, &SoundWorker::cork);
    }

    void service()
    {
        takeRequest();
        if (!m_out.isOpen() || m_corked)
            return;
        if (m_out.lost()) {
            // The sound server went away: drop everything; the next play starts the output
            // again.
            complain(QStringLiteral("sound output lost"));
            closeOutput();
            return;
        }
        render();
        if (active() || playingOut())
            return;
        // Played out. Nothing more is written: the stream runs dry and waits, and the next
        // sound starts at the server's next block. It is corked after the warm spell.
        m_timer->stop();
        if (!m_corkTimer->isActive())
            m_corkTimer->start(m_warmMs);
    }

    // Fades out whatever plays and returns once the fade has been played, or after
    // kExitDrainMs: an exit must not cut the sound mid-wave.
    void finish()
    {
        takeRequest();
        if (!m_out.isOpen() || m_corked || !active())
            return;
        retireCurrent();
        playOutFade();
    }

private:
    // Renders the fades of the sounds leaving until they have been played, or for
    // kExitDrainMs.
    void playOutFade()
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kExitDrainMs) {
            if (active())
                render();
            const qsizetype queued = m_out.bufferBytes() - m_out.bytesFree();
            if (!active() && queued <= framesIn(m_rate, 2) * frameBytes())
                break;
            QThread::msleep(1);
        }
    }

    bool active() const { return m_current || !m_leaving.empty(); }
    int frameBytes() const { return int(m_layout.size()) * 2; }
    // How long the output's buffer plays.
    qint64 bufferMs() const { return m_out.bufferBytes() / frameBytes() * 1000 / m_rate; }
    // The end of the last sound is still on its way to the speaker.
    bool playingOut() const { return m_idle.isValid() && m_idle.elapsed() < bufferMs() + 20; }

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
            if (!wakeOutput())
                return;
            try {
                m_current = std::make_unique<Voice>(request.path, m_rate);
                m_current->routeTo(m_layout);
            } catch (const std::exception& e) {
                complain(QStringLiteral("cannot play %1: %2")
                             .arg(request.path, QString::fromLocal8Bit(e.what())));
                // The output was woken for nothing: it is corked again after the warm spell.
                if (!active() && !m_timer->isActive())
                    m_corkTimer->start(m_warmMs);
                return;
            }
            m_state.playing = true;
            m_idle.invalidate();
            m_corkTimer->stop();
            m_timer->start();
            return;
        }
    }

    void retireCurrent()
    {
        if (!m_current)
            return;
        m_current->fadeOut(std::size_t(framesIn(m_rate, Voice::kFadeSeconds * 1000)));
        m_leaving.push_back(std::move(m_current));
        m_state.playing = false;
    }

    // Makes the output ready to take sound on the default device: opened the first time, after
    // a loss, and when the default device is another or laid out anew; otherwise uncorked.
    bool wakeOutput()
    {
        if (m_out.isOpen() && m_out.lost())
            closeOutput();
        const std::optional<PulseOutput::Device> device = m_out.defaultDevice();
        if (!device) {
            complain(QStringLiteral("cannot open the sound output: %1")
                         .arg(QString::fromUtf8(m_out.error())));
            closeOutput();
            return false;
        }
        if (m_out.isOpen() && *device != m_device) {
            // What was playing fades out where it was heard before the stream moves.
            if (!m_corked)
                playOutFade();
            closeOutput();
        }
        if (!m_out.isOpen())
            return openOutput(*device);
        if (m_corked) {
            m_out.setCorked(false);
            m_corked = false;
        }
        return true;
    }

    // The stream is laid out as the device is, whatever the file: every channel is routed
    // here, and a file of another layout costs no new stream.
    bool openOutput(const PulseOutput::Device& device)
    {
        m_device = device;
        m_rate = device.rate;
        m_layout = outputLayoutFor(device.speakers);
        if (!m_out.open(device, kBufferMs)) {
            complain(QStringLiteral("cannot open the sound output: %1")
                         .arg(QString::fromUtf8(m_out.error())));
            closeOutput();
            return false;
        }
        m_timer->start();
        return true;
    }

    // Once the warm spell is over the stream is corked: the server may suspend the device,
    // and nothing of ours runs until the next press, which uncorks the same stream.
    void cork()
    {
        if (!m_out.isOpen() || m_corked || active())
            return;
        m_timer->stop();
        m_idle.invalidate();
        m_out.setCorked(true);
        m_corked = true;
    }

    void closeOutput()
    {
        m_timer->stop();
        m_corkTimer->stop();
        m_current.reset();
        m_leaving.clear();
        m_pending.clear();
        m_state.playing = false;
        m_idle.invalidate();
        m_corked = false;
        m_out.close();
    }

    void render()
    {
        m_state.renderPasses.fetch_add(1, std::memory_order_relaxed);
        // What a short write left over goes first, so that nothing is skipped.
        if (!m_pending.isEmpty() && !writePending())
            return;
        // Until what was written of the last sound has been played out (the server may have
        // granted a longer buffer than asked: PipeWire does), the buffer is kept full, since
        // a server that runs dry can drop what it holds; then nothing.
        const qsizetype frames = active() || playingOut() ? m_out.bytesFree() / frameBytes() : 0;
        if (frames <= 0)
            return;

        m_mix.assign(std::size_t(frames) * m_layout.size(), 0.0f);
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
        if (!active() && !m_idle.isValid())
            m_idle.start();

        m_pending.resize(qsizetype(m_mix.size() * sizeof(qint16)));
        auto* pcm = reinterpret_cast<qint16*>(m_pending.data());
        for (std::size_t i = 0; i < m_mix.size(); ++i)
            pcm[i] = qint16(std::lround(std::clamp(m_mix[i], -1.0f, 1.0f) * 32767.0f));
        writePending();
    }

    // Writes what is pending; true when all of it was taken.
    bool writePending()
    {
        const qsizetype written = m_out.write(m_pending.constData(), m_pending.size());
        if (written > 0)
            m_pending.remove(0, written);
        return m_pending.isEmpty();
    }

    // Moves the gain toward the requested one in a straight line over 10 ms.
    void rampGain(std::size_t frames)
    {
        const float target = m_state.gain.load();
        const auto rampFrames = std::size_t(framesIn(m_rate, kGainRampMs));
        if (target != m_target) {
            m_target = target;
            m_step = (target - m_gain) / float(rampFrames);
            m_rampLeft = rampFrames;
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
    int m_warmMs = 0;
    int m_rate = 44100;
    QTimer* m_timer = nullptr;     // renders while there is sound
    QTimer* m_corkTimer = nullptr; // the warm spell
    PulseOutput m_out;
    PulseOutput::Device m_device;              // where the stream plays
    SpeakerLayout m_layout{standardLayout(2)}; // how the stream's frames are laid out
    bool m_corked = false;
    QElapsedTimer m_idle; // since the last sound was written out, while the output runs
    std::unique_ptr<Voice> m_current;
    std::vector<std::unique_ptr<Voice>> m_leaving;
    std::vector<float> m_mix;
    std::vector<float> m_gains;
    QByteArray m_pending; // converted frames not yet taken by the output
    float m_gain;
    float m_target;
    float m_step = 0.0f;
    std::size_t m_rampLeft = 0;
};

SoundEngine::SoundEngine(std::chrono::milliseconds warm) : m_thread(std::make_unique<QThread>())
{
    m_state.gain = gainFor(Playback::kDefaultVolume);
    m_thread->setObjectName(QStringLiteral("sound"));
    m_worker = new SoundWorker(m_state, warm);
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

void SoundEngine::finish()
{
    QMetaObject::invokeMethod(m_worker, &SoundWorker::finish, Qt::BlockingQueuedConnection);
}

quint64 SoundEngine::renderPasses() const
{
    return m_state.renderPasses.load();
}

bool SoundEngine::isPlaying() const
{
    return m_state.playing;
}
