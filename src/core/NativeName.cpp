#include "NativeName.h"

#include <QFile>

#ifdef Q_OS_UNIX

namespace {

// Length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
int validSequence(const QByteArray& bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    unsigned int codePoint = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    const unsigned int smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF) ||
        codePoint > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

QString decodeFileName(const QByteArray& bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int length = validSequence(bytes, at);
        if (length == 0) {
            name.append(QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[at]))));
            ++at;
        } else {
            name.append(QString::fromUtf8(bytes.constData() + at, length));
            at += length;
        }
    }
    return name;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool stray =
            unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate());
        if (!stray)
            continue;
        bytes.append(name.mid(runStart, i - runStart).toUtf8());
        bytes.append(char(unit - 0xDC00));
        runStart = i + 1;
    }
    bytes.append(name.mid(runStart).toUtf8());
    return bytes;
}

#else

QString decodeFileName(const QByteArray& bytes)
{
    return QFile::decodeName(bytes);
}
QByteArray encodeFileName(const QString& name)
{
    return QFile::encodeName(name);
}

#endif
