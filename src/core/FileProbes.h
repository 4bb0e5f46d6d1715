#pragma once

#include <QString>

// Questions about single paths that never throw and never block. Three checks, for three
// callers, that answer differently for the same path: FileIsPresent (the list of tests: can a
// regular file be opened?), FileExists (the cursor and skin files: does the path name anything
// with a time stamp, hidden or a folder alike?) and visibleRegularFileName (the play button: a
// regular file that is not hidden, by name).

// True when the path is a regular file that can be opened. Never blocks (a FIFO or a device
// is not waited on), never reads, and a folder never passes.
bool FileIsPresent(const QString& path);

#ifndef Q_OS_WIN
// Opens a regular file for reading without blocking, never opening anything else (a pipe, a
// device, a socket, a folder): the descriptor, or -1. `size` receives the file's size.
int openRegularFile(const QString& path, qint64* size = nullptr);
#endif

// True when the file system can tell the path's modification time: hidden files and folders
// count, a missing file or folder or a bad path does not.
bool FileExists(const QString& path);

// The name of the ordinary file at `path` (a regular file that is not hidden), or "" when
// there is none.
QString visibleRegularFileName(const QString& path);
