#pragma once

#include "Signals.h"

#include <QString>
#include <vector>

// The channel names the spoken checks say, in WAVE order, as file names in the speech folder
// (".wav" added) and the text spoken.
struct Phrase {
    QString file;
    QString text;
};
const std::vector<Phrase>& channelNames();
// The other words the spoken tests say, in the same folder.
const std::vector<Phrase>& cues();

// The espeak-ng arguments before "-w FILE TEXT". Everything that shapes the sound is pinned, so
// the same text gives the same samples on every build.
QStringList espeakArguments();

// Runs espeak-ng for every channel name and cue into `folder`. Throws std::runtime_error on
// failure.
void makeSpeech(const QString& espeak, const QString& folder);

// A phrase as espeak-ng wrote it, mono at kSampleRate: trimmed to the spoken part, faded over
// `fadeSeconds` and scaled to `rmsDb` RMS over what is left. Throws std::runtime_error when the
// file is missing or not what espeak-ng makes.
Signal loadSpeech(const QString& path, double rmsDb, double fadeSeconds);
