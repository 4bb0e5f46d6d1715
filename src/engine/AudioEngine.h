#pragma once

#include <QString>

// The ranges and defaults of playback, shared by the engine, the player control and the
// window's sliders.
namespace Playback {
inline constexpr int kMaxVolume = 100;
inline constexpr int kDefaultVolume = 50;
inline constexpr int kMinRate = 1;
inline constexpr int kMaxRate = 50;
inline constexpr double kNormalRate = 1.0;
} // namespace Playback

// What the media player control needs from a sound engine. Every call returns at once;
// playback goes on by itself. Implementations do not throw: a file that cannot be played
// or a missing sound server gives silence.
class AudioEngine {
public:
    virtual ~AudioEngine() = default;
    // Starts the file from its beginning, replacing whatever plays.
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
    virtual void setLooping(bool loop) = 0;
    // 0 (silence) to 100 (full scale).
    virtual void setVolume(int volume) = 0;
    // Playback speed factor, 1 to 50; the pitch follows the speed.
    virtual void setRate(double rate) = 0;
};
