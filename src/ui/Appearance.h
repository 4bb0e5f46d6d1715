#pragma once

#include <QCursor>
#include <QString>
#include <QVariant>

#include "ui/SkinDispatch.h"

class Form1;

// Gives the window its skin when the program folder holds an ordinary file x/o.cjs: the
// window, frames, labels, check boxes and option buttons take the face colour, then the skin
// component is handed the file and the window. Throws RunTimeError where a step fails.
void ApplySkin(Form1& form, SkinDispatch& skin);

// True when the file system can tell the path's modification time. Never throws.
bool FileExists(const QString& path);

// Loads a Windows cursor file as a pointer with the hotspot stored in the file. Throws
// RunTimeError ("Invalid picture") when the file holds no cursor picture.
QCursor loadCursorFile(const QString& path);

// Mouse-move handlers: the custom pointer over the play button, the default one over the bare
// window and the frames; a busy pointer is left alone.
void PushButton1_MouseMove(Form1& form);
void Form_MouseMove(Form1& form);
void Frame2_MouseMove(Form1& form);
void Frame3_MouseMove(Form1& form);
