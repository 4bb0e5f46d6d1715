#pragma once

#include <QString>

class Form1;
class ReportBox;
class SettingsStore;

inline constexpr const char* kPlayCaption = "Play Test";
inline constexpr const char* kStopCaption = "Stop";

// The file that plays the test named by the list's text.
QString testFilePath(const Form1& form);

// The play button: "Play Test" turns into "Stop" and starts the chosen test; "Stop" turns
// back into "Play Test" and stops the player. Failures are reported line by line.
void PushButton1_Click(Form1& form, ReportBox& box);

// The handlers below report nothing themselves: a failure ends them where it happens.

// Saves the list's selection index under "Combo1".
void Combo1_Click(Form1& form, SettingsStore& store);
// Saves the volume slider's value under "Volume", then hands it to the player.
void Slider1_Change(Form1& form, SettingsStore& store);
// Saves the pitch slider's value under "Pitch", then hands it to the player as its rate.
void Slider2_Change(Form1& form, SettingsStore& store);
