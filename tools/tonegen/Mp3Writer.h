#pragma once

#include "Signals.h"
#include "Tags.h"

#include <QString>

// Encodes the signal as a 320 kbit/s stereo MP3 with LAME, with an ID3 tag and the gapless
// (encoder delay and padding) header, and writes it atomically: a temporary file in the same
// folder, renamed over the target once complete. Throws std::runtime_error on failure.
void writeMp3(const QString& path, const Signal& signal, const Tags& tags);
