#pragma once

// The handlers of the window's controls. PushButton1_Click numbers its statements and reports
// each failing one; the others report a failure under line 0 and end there (see
// UnguardedHandler.h). The wiring to Qt's signals is in FormEvents.cpp.

#include <QString>

class Form1;
class ReportBox;
class SettingsStore;

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
