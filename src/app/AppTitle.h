#pragma once

#include <QString>

inline constexpr const char* kProductName = "Orvo Peln Tandrick";

// The application title made from a product name: cut at the last space at least once, then
// again while longer than 40 characters. Throws RunTimeError when there is no space to cut at.
QString appTitleFrom(const QString& productName);

// Sets the application's title from the product name; on failure the title stays as it was.
void SetAppTitle(const QString& productName = QString::fromLatin1(kProductName));

// The title of the application as a whole (not a window's caption); empty until set.
QString applicationTitle();
