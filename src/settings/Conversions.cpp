#include "Conversions.h"

#include "RunTimeError.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const QString kTypeMismatch = QStringLiteral("Type mismatch");
const QString kOverflow = QStringLiteral("Overflow");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// The whole text as one number, blanks allowed around it, or "Type mismatch".
double strictNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^[ \\t\\r\\n]*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)"
                       "[ \\t\\r\\n]*$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        throw RunTimeError(kTypeMismatch);
    bool ok = false;
    const double value = m.captured(1).toDouble(&ok);
    if (!ok && !std::isinf(value))
        throw RunTimeError(kTypeMismatch);
    return value;
}

} // namespace

std::int64_t roundHalfEven(double value, std::int64_t lo, std::int64_t hi)
{
    if (!std::isfinite(value))
        throw RunTimeError(kOverflow);
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const double rounded = std::nearbyint(value);
    if (rounded < double(lo) || rounded > double(hi))
        throw RunTimeError(kOverflow);
    return static_cast<std::int64_t>(rounded);
}

std::int16_t toInt16Strict(const QString& text)
{
    return static_cast<std::int16_t>(roundHalfEven(strictNumber(text), -32768, 32767));
}

std::int32_t toListIndex(const QString& text, std::int32_t entries)
{
    const double rounded = std::nearbyint(strictNumber(text));
    if (rounded > 32767 && rounded < double(entries))
        return static_cast<std::int32_t>(rounded);
    return toInt16Strict(text);
}

double leadingNumber(const QString& text)
{
    // Collect the longest prefix that forms a number, skipping blanks anywhere in it.
    QString digits;
    bool seenDigit = false, seenPoint = false, seenExponent = false;
    bool expectExponentSign = false;
    for (const QChar c : text) {
        if (isBlank(c))
            continue;
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            seenDigit = true;
            expectExponentSign = false;
        } else if ((c == QLatin1Char('+') || c == QLatin1Char('-')) &&
                   (digits.isEmpty() || expectExponentSign)) {
            digits += c;
            expectExponentSign = false;
        } else if (c == QLatin1Char('.') && !seenPoint && !seenExponent) {
            digits += c;
            seenPoint = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char('d') ||
                    c == QLatin1Char('D')) &&
                   seenDigit && !seenExponent) {
            digits += QLatin1Char('e');
            seenExponent = true;
            expectExponentSign = true;
        } else {
            break;
        }
    }
    // Drop a dangling exponent, sign or point that no digit completed.
    static const QRegularExpression complete(
        QStringLiteral("^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:e[+-]?[0-9]+)?"));
    const QRegularExpressionMatch m = complete.match(digits);
    if (!m.hasMatch())
        return 0.0;
    return m.captured(0).toDouble();
}

std::int32_t toInt32Lenient(const QString& text)
{
    return static_cast<std::int32_t>(roundHalfEven(leadingNumber(text), INT32_MIN, INT32_MAX));
}
