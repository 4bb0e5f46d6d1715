#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The whole content of a small regular file, read without ever blocking: a named pipe, a
// device, a socket or a folder is refused, and so is a file that holds (or keeps giving) more
// than `limit` bytes. Never throws.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit);
