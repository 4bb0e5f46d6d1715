#pragma once

#include <QMetaType>
#include <QString>

// A file system entry that is not a regular file, made at `path` for as long as the object
// lives (a socket stays bound). POSIX only.
class SpecialFile {
public:
    enum class Kind { Pipe, DeviceLink, Folder, Socket };
    SpecialFile(Kind kind, const QString& path);
    ~SpecialFile();
    SpecialFile(const SpecialFile&) = delete;
    SpecialFile& operator=(const SpecialFile&) = delete;
    bool made() const { return m_made; }

private:
    int m_socket = -1;
    bool m_made = false;
};

Q_DECLARE_METATYPE(SpecialFile::Kind)
