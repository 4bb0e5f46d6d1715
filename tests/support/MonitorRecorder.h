#pragma once

#include <QProcess>
#include <QStringList>
#include <vector>

// The channels of the rig's null sinks ("opt_sink", "opt_51", "opt_71"), as the server names
// them, in their order.
inline const QStringList kStereoChannels{"front-left", "front-right"};
inline const QStringList k51Channels{"front-left", "front-right", "front-center",
                                     "lfe",        "rear-left",   "rear-right"};
inline const QStringList k71Channels = k51Channels + QStringList{"side-left", "side-right"};

// Records what the private sound server's null sink plays, from its monitor, as floats.
class MonitorRecorder {
public:
    // False when no private sound server is configured (OPT_PULSE_SINK unset).
    static bool available();

    // Records the default null sink's front pair, or the named sink with its channels in the
    // order given by their server names ("front-left,lfe,...").
    MonitorRecorder();
    MonitorRecorder(const QString& sink, const QStringList& positions);
    ~MonitorRecorder();
    // The number of frames recorded so far: a mark in the recording for "now".
    std::size_t mark();
    // Waits (running the event loop) and collects what arrived.
    void wait(int milliseconds);

    std::vector<std::vector<float>> channels;
    std::vector<float>& left;
    std::vector<float>& right;

private:
    void collect();
    QProcess m_process;
    QByteArray m_pending;
};
