#pragma once

#include <QString>
#include <cstdint>

// Strict conversion to a 16-bit integer: the whole text must be one number, blanks allowed
// around it; a fraction rounds to the nearest integer, halves to even. Throws RunTimeError
// ("Type mismatch" for anything that is not a number, "Overflow" outside -32768..32767).
std::int16_t toInt16Strict(const QString& text);

// A stored list index, converted as toInt16Strict; a value past 16 bits that names one of
// `entries` entries is taken as it is (a list longer than 32 767 entries), anything else past
// 16 bits is "Overflow" as before.
std::int32_t toListIndex(const QString& text, std::int32_t entries);

// The value of the number at the start of the text: blanks are skipped, reading stops at the
// first character that cannot continue the number, no number gives 0.
double leadingNumber(const QString& text);

// leadingNumber rounded to the nearest 32-bit integer, halves to even. Throws RunTimeError
// ("Overflow") when the value lies beyond 32 bits.
std::int32_t toInt32Lenient(const QString& text);

// Rounds half to even and checks the range [lo, hi]; throws "Overflow" outside it.
std::int64_t roundHalfEven(double value, std::int64_t lo, std::int64_t hi);
