#pragma once

#include <QString>
#include <QWidget>

class AudioEngine;

// The media player control of the main window (WindowsMediaPlayer1): it holds what the window
// set (file, loop, volume, rate), refuses values out of range, and hands each operation to a
// sound engine. Auto-start is on: setting a file plays it.
class PlayerControl : public QWidget {
    Q_OBJECT
public:
    PlayerControl(AudioEngine& engine, QWidget* parent);

    QString URL() const { return m_url; }
    // Opens the file and plays it from its beginning at once.
    void setURL(const QString& url);
    void setLoop(bool loop);
    // 0..100; anything else is refused ("The parameter is incorrect.") and the volume stays.
    void setVolume(int volume);
    int volume() const { return m_volume; }
    // 1..50, whole or fractional; anything else is refused and the rate stays.
    void setRate(double rate);
    double rate() const { return m_rate; }
    // Stops playback; does nothing when nothing plays.
    void stop();

private:
    AudioEngine& m_engine;
    QString m_url;
    double m_rate;
    int m_volume;
};
