#pragma once

#include <QString>
#include <QWidget>

class AudioEngine;

// The media player control of the main window. It keeps the player's published properties
// and hands the operations the window uses (URL, settings, controls) to a sound engine.
class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    class Settings {
    public:
        explicit Settings(MediaPlayer& player) : m_player(player) {}
        // Only the "loop" mode exists; another name is refused.
        void setMode(const QString& mode, bool flag);
        bool getMode(const QString& mode) const;
        // 0..100; anything else is refused and the volume in force stays.
        void setVolume(int volume);
        int volume() const;
        // 1..50, whole or fractional; anything else is refused and the rate in force stays.
        void setRate(double rate);
        double rate() const;
        bool autoStart() const;
        int playCount() const;
        bool enableErrorDialogs() const;

    private:
        MediaPlayer& m_player;
    };

    class Controls {
    public:
        explicit Controls(MediaPlayer& player) : m_player(player) {}
        // Stops playback; does nothing when nothing plays.
        void stop();

    private:
        MediaPlayer& m_player;
    };

    MediaPlayer(AudioEngine& engine, QWidget* parent);

    QString URL() const { return m_url; }
    // Opens the file and, autoStart being on, plays it from its beginning at once.
    void setURL(const QString& url);
    Settings settings() { return Settings(*this); }
    Controls controls() { return Controls(*this); }

    QString uiMode() const { return m_uiMode; }
    int balance() const { return m_balance; }
    bool mute() const { return m_mute; }
    double currentPosition() const { return 0.0; }

private:
    AudioEngine& m_engine;
    QString m_url;
    double m_rate = 1.0;
    int m_volume = 50;
    int m_balance = 0;
    int m_playCount = 1;
    bool m_autoStart = true;
    bool m_loop = false;
    bool m_mute = false;
    bool m_enableErrorDialogs = false;
    QString m_uiMode = QStringLiteral("full");
};
