#include "SpecialFile.h"

#include <QFile>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

SpecialFile::SpecialFile(Kind kind, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    switch (kind) {
    case Kind::Pipe:
        m_made = ::mkfifo(native.constData(), 0644) == 0;
        break;
    case Kind::DeviceLink:
        m_made = ::symlink("/dev/zero", native.constData()) == 0;
        break;
    case Kind::Folder:
        m_made = ::mkdir(native.constData(), 0755) == 0;
        break;
    case Kind::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (native.size() >= int(sizeof address.sun_path))
            return;
        std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        m_made = ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        break;
    }
    }
}

SpecialFile::~SpecialFile()
{
    if (m_socket >= 0)
        ::close(m_socket);
}
