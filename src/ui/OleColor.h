#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

// A 32-bit colour value: 0x00BBGGRR for an explicit colour, or a system colour reference
// with the high bit set and the system colour index in the low bits.
using OleColor = std::uint32_t;

inline constexpr OleColor kWhite = 0x00FFFFFFu;
inline constexpr OleColor kButtonFace = 0x8000000Fu;
inline constexpr OleColor kButtonText = 0x80000012u;

// Resolves a colour value against the platform palette. Throws RunTimeError ("Invalid property
// value") for a system colour index that does not exist.
QColor resolveOleColor(OleColor value, const QPalette& palette);
