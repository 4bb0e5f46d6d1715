#pragma once

#include "Mp3Writer.h"
#include "Signals.h"
#include "Tags.h"

#include <QString>
#include <functional>
#include <vector>

// One sound of the default pack: its file name (without ".mp3"), its tags and how to make it.
struct PackItem {
    QString name;
    Tags tags;
    std::function<Signal()> make;
};

inline constexpr double kFadeSeconds = 0.020;
// Each step of a spoken check: the name within this time, then the burst.
inline constexpr double kNameSeconds = 1.0;
// The LFE channel's place (from 0) in 5.1 and 7.1, in WAVE order.
inline constexpr int kLfeChannel = 3;

// Writes a sound of the pack: MP3 for stereo, FLAC for more channels (whatever the name).
void writeSound(const QString& path, const Signal& signal, const Tags& tags);

// The spoken checks read their channel names from `speechFolder` (see Speech.h) when made.
std::vector<PackItem> defaultPack(const QString& speechFolder = {});
