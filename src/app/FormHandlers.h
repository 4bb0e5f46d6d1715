#pragma once

// The window's event handlers, each named as the program names it, with the location text
// its error reports show. Form_Load, PushButton1_Click and Form_QueryUnload number their
// statements and report each failing one; the others report a failure under line 0 and end
// there (see HandlerGuard.h). The wiring to Qt's signals is in FormEvents.cpp.

#include <QString>

class Form1;
class ReportBox;
class SettingsStore;
struct Services;

namespace Location {
inline constexpr const char* FormLoad = "in Thrumbox2021/08/31.Form1.Form_Load ";
inline constexpr const char* PushButton1Click = "in Thrumbox2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* FormQueryUnload = "in Thrumbox2021/08/31.Form1.Form_QueryUnload ";
inline constexpr const char* Combo1Click = "in Thrumbox2021/08/31.Form1.Combo1_Click ";
inline constexpr const char* Slider1Change = "in Thrumbox2021/08/31.Form1.Slider1_Change ";
inline constexpr const char* Slider2Change = "in Thrumbox2021/08/31.Form1.Slider2_Change ";
inline constexpr const char* PushButton1MouseMove =
    "in Thrumbox2021/08/31.Form1.PushButton1_MouseMove ";
inline constexpr const char* FormMouseMove = "in Thrumbox2021/08/31.Form1.Form_MouseMove ";
inline constexpr const char* Frame2MouseMove = "in Thrumbox2021/08/31.Form1.Frame2_MouseMove ";
inline constexpr const char* Frame3MouseMove = "in Thrumbox2021/08/31.Form1.Frame3_MouseMove ";
} // namespace Location

// The startup sequence, run once before the window is first shown.
void Form_Load(Form1& form, Services& services);

// The play button: "Play Test" turns into "Stop" and starts the chosen test; "Stop" turns
// back into "Play Test" and stops the player.
void PushButton1_Click(Form1& form, ReportBox& box);
// The file that plays the test named by the list's text.
QString testFilePath(const Form1& form);

// Saves the list's selection index under "Combo1".
void Combo1_Click(Form1& form, SettingsStore& store);
// Saves the volume slider's value under "Volume", then hands it to the player.
void Slider1_Change(Form1& form, SettingsStore& store);
// Saves the pitch slider's value under "Pitch", then hands it to the player as its rate.
void Slider2_Change(Form1& form, SettingsStore& store);

// The pointer: the custom one over the play button, the default one over the bare window and
// the frames; a busy pointer is left alone.
void PushButton1_MouseMove(Form1& form);
void Form_MouseMove(Form1& form);
void Frame2_MouseMove(Form1& form);
void Frame3_MouseMove(Form1& form);

// The close request lets the pending events run, twice, and never refuses the close; the
// unload ends the process at once (every choice was saved when it was made).
void Form_QueryUnload(Form1& form, Services& services);
void Form_Unload(Form1& form, Services& services);
