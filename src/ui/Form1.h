#pragma once

#include "Controls.h"
#include "OleColor.h"

#include <QCursor>
#include <QString>
#include <QWidget>
#include <optional>

class AudioEngine;
class PlayerControl;
class SkinFramework;

// The play button's two captions.
namespace Caption {
inline constexpr const char* PlayTest = "Play Test";
inline constexpr const char* Stop = "Stop";
} // namespace Caption

// Window pointer values.
namespace MousePointer {
inline constexpr qint16 Default = 0;
inline constexpr qint16 Busy = 11;
inline constexpr qint16 Custom = 99;
} // namespace MousePointer

// Converts a place or size in twips (1440 to the inch) to pixels at 96 dpi.
constexpr int twips(int value)
{
    return (value * 2 + 15) / 30;
}

// The main window with every control at its design values. The window and its controls keep
// the names the program has always given them:
//   Form1                the main window
//   Frame2, Combo1       the "Select Test" frame and its drop-down list of tests
//   Frame3, Slider1      the "Volume" frame and its slider (1..100)
//   Label2, Slider2      "Pitch" and the rate slider (1..50), below the visible area
//   PushButton1          the play button ("Play Test" / "Stop")
//   WindowsMediaPlayer1  the player control, hidden below the visible area
//   SkinFramework1       the skin component (not a widget)
class Form1 : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
public:
    Form1(AudioEngine& engine, QString programFolder);
    ~Form1() override;

    // The folder every data path starts from (no trailing separator).
    const QString& programFolder() const { return m_programFolder; }

    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 value);

    qint16 mousePointer() const { return m_mousePointer; }
    void setMousePointer(qint16 value);
    // The custom pointer image; empty until one is loaded.
    const std::optional<QCursor>& mouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QCursor& cursor);

    // Places the window in the middle of its screen.
    void centreOnScreen();

    // The frames come first: they hold the list and the volume slider.
    Frame* const Frame2;
    Frame* const Frame3;
    DropDownList* const Combo1;
    Slider* const Slider1;
    PlayerControl* const WindowsMediaPlayer1;
    Slider* const Slider2;
    Label* const Label2;
    QPushButton* const PushButton1;
    SkinFramework* const SkinFramework1;

signals:
    // Mouse moves, each raised only while the pointer is over that area itself: the bare
    // window (no control under the pointer), the play button, or a frame outside the controls
    // inside it. Moves over any other control raise none of them.
    void formMouseMove();
    void pushButton1MouseMove();
    void frame2MouseMove();
    void frame3MouseMove();
    // Each close request; the close itself is never refused.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyPointer();

    QString m_programFolder;
    OleColor m_backColor = kWhite;
    qint16 m_mousePointer = MousePointer::Default;
    std::optional<QCursor> m_mouseIcon;
};
