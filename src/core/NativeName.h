#pragma once

#include <QByteArray>
#include <QString>

// File names as a Unix system keeps them are bytes, nearly always UTF-8. A name that is not
// valid UTF-8 keeps each stray byte b as the code unit U+DC00 + b, so that the file can be
// listed, shown and opened again under exactly its own name. (Qt's own conversion would turn
// such bytes into U+FFFD, and the file could no longer be found.)
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);
