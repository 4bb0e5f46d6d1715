#pragma once

#include <QCursor>
#include <QString>

// Loads a Windows cursor file as a pointer with the hotspot stored in the file. Throws
// RunTimeError ("Invalid picture") when the path is no small regular file or holds no cursor
// picture.
QCursor loadCursorFile(const QString& path);
