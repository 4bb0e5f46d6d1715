#include "BoundedRead.h"

#include "FileProbes.h"

#ifdef Q_OS_WIN
#include <QFile>
#include <QFileInfo>
#else
#include <algorithm>
#include <cerrno>
#include <unistd.h>
#endif

std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit)
{
#ifdef Q_OS_WIN
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(limit + 1);
    if (data.size() > limit)
        return std::nullopt;
    return data;
#else
    qint64 size = 0;
    const int fd = openRegularFile(path, &size);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result;
    if (size <= limit) {
        // Room for what the file holds and one byte more, to see it grow past the limit.
        QByteArray data(qsizetype(size + 1), Qt::Uninitialized);
        qint64 filled = 0;
        for (;;) {
            if (filled == data.size() && filled <= limit)
                data.resize(qsizetype(std::min<qint64>(limit + 1, 2 * filled)));
            const ssize_t got = ::read(fd, data.data() + filled, std::size_t(data.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                filled = -1;
                break;
            }
            if (got == 0 || (filled += got) > limit)
                break;
        }
        if (filled >= 0 && filled <= limit) {
            data.truncate(qsizetype(filled));
            result = std::move(data);
        }
    }
    ::close(fd);
    return result;
#endif
}
