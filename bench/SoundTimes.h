#pragma once

#include "MonitorRecorder.h"

// When things were heard at a null sink's monitor, in seconds after a moment on the monotonic
// clock (the event that caused them), from its recorder's left channel. Those that wait give up
// after `timeout` seconds (or 2 s after the span they measure) and answer -1.
namespace SoundTimes {

using Clock = MonitorRecorder::Clock;

// The benchmark's recorders take blocks of 128 frames (3 ms), to place sound on the clock to
// within that; asking for that latency also runs the null sink at about 3 ms.
constexpr std::size_t kTimingBlock = 128;

Clock::time_point after(Clock::time_point t, double seconds);
double secondsBetween(Clock::time_point a, Clock::time_point b);

// The first sample after `since` louder than `threshold`.
double onsetAfter(MonitorRecorder& monitor, Clock::time_point since, float threshold,
                  double timeout);
// The first moment after `since` at which the 5 ms peak exceeds `level`.
double levelAbove(MonitorRecorder& monitor, Clock::time_point since, float level, double timeout);
// The first period after `since` shorter than 1/`frequency`.
double frequencyAbove(MonitorRecorder& monitor, Clock::time_point since, double frequency,
                      double timeout);
// The peak over the `seconds` before `until` (which has been heard).
float peakBefore(MonitorRecorder& monitor, Clock::time_point until, double seconds);
// The longest run of near silence, of any length, in the `seconds` after `from`.
double longestSilence(MonitorRecorder& monitor, Clock::time_point from, double seconds);
// Whether there is a hole (2 ms or more of near silence) in the `seconds` after `from`, or the
// recording of them fell short.
bool holeAfter(MonitorRecorder& monitor, Clock::time_point from, double seconds);
// The last sample louder than `threshold` in the `seconds` after `since`.
double lastSoundAfter(MonitorRecorder& monitor, Clock::time_point since, float threshold,
                      double seconds);

} // namespace SoundTimes
