#pragma once

#include "Mp3Writer.h"
#include "Signals.h"

#include <QString>
#include <functional>
#include <vector>

// One sound of the default pack: its file name (without ".mp3"), its tag and how to make it.
struct PackItem {
    QString name;
    Mp3Tags tags;
    std::function<Stereo()> make;
};

inline constexpr double kFadeSeconds = 0.020;

std::vector<PackItem> defaultPack();
