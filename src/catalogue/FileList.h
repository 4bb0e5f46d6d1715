#pragma once

#include <QString>
#include <QStringList>

// The result of a folder listing: names at lower..upper. With no name it is 0..0 holding one
// empty string, so a walk from 1 to `upper` does nothing.
struct NameList {
    int lower = 0;
    int upper = 0;
    QStringList names{QString()};

    const QString& at(int index) const { return names.at(index - lower); }
};

// Lists the files in `folder` whose names match `pattern` ("*.*" matches every name), hidden
// ones included, folders never, keeping only those FileIsPresent accepts. Names come in a
// stable order: case-insensitive by name, ties by exact bytes. A missing folder lists nothing.
NameList GetFileList(QString folder, const QString& pattern);

// The list entry shown for a file name: every ".mp3" removed in one left-to-right pass,
// case-sensitive.
QString entryText(const QString& fileName);
