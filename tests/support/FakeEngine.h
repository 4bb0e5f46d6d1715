#pragma once

#include "AudioEngine.h"
#include "RunTimeError.h"

#include <QStringList>

// Records what the player hands to the sound engine.
class FakeEngine : public AudioEngine {
public:
    void play(const QString& path) override { calls.append(QStringLiteral("play ") + path); }
    void stop() override { calls.append(QStringLiteral("stop")); }
    void setLooping(bool loop) override
    {
        if (refuseLooping)
            throw RunTimeError("The parameter is incorrect.");
        this->loop = loop;
    }
    void setVolume(int volume) override { this->volume = volume; }
    void setRate(double rate) override { this->rate = rate; }

    QStringList calls;
    bool refuseLooping = false;
    bool loop = true;
    int volume = -1;
    double rate = -1;
};
