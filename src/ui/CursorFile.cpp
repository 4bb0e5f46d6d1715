#include "CursorFile.h"

#include "BoundedRead.h"
#include "RunTimeError.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

QCursor loadCursorFile(const QString& path)
{
    const QString invalid = QStringLiteral("Invalid picture");
    // A cursor is small: refuse unread anything that is not a small regular file.
    constexpr qint64 kLargestCursor = 1024 * 1024;
    std::optional<QByteArray> content = readRegularFile(path, kLargestCursor);
    if (!content)
        throw RunTimeError(invalid);
    QByteArray& data = *content;

    // Header: reserved 0, type 2 (cursor), image count; then 16-byte entries whose plane and
    // bit-count fields hold the hotspot.
    if (data.size() < 6 + 16)
        throw RunTimeError(invalid);
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (qFromLittleEndian<quint16>(bytes) != 0 || qFromLittleEndian<quint16>(bytes + 2) != 2 ||
        qFromLittleEndian<quint16>(bytes + 4) == 0)
        throw RunTimeError(invalid);
    const int hotX = qFromLittleEndian<quint16>(bytes + 6 + 4);
    const int hotY = qFromLittleEndian<quint16>(bytes + 6 + 6);
    const int count = qFromLittleEndian<quint16>(bytes + 4);

    // The picture data is that of an icon: let the icon reader decode it.
    data[2] = 1;
    data[3] = 0;
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= data.size(); ++i) {
        char* entry = data.data() + 6 + 16 * i;
        qToLittleEndian<quint16>(1, entry + 4);
        qToLittleEndian<quint16>(0, entry + 6);
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        throw RunTimeError(invalid);
    return QCursor(QPixmap::fromImage(image), qMin(hotX, image.width() - 1),
                   qMin(hotY, image.height() - 1));
}
