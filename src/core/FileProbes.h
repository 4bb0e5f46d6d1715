#pragma once

#include <QString>

// Questions about single paths that never throw and never block.

// True when the path is a regular file that can be opened. Never blocks (a FIFO or a device
// is not waited on), never reads, and a folder never passes.
bool FileIsPresent(const QString& path);

// True when the file system can tell the path's modification time: hidden files and folders
// count, a missing file or folder or a bad path does not.
bool FileExists(const QString& path);

// The name of the ordinary file at `path` (a regular file that is not hidden), or "" when
// there is none.
QString ordinaryFileName(const QString& path);
