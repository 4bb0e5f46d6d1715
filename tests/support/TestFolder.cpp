#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestFolder::TestFolder()
{
    QDir().mkpath(programFolder());
    QDir().mkpath(settingsFolder());
}

QString TestFolder::write(const QString& relativePath, const QByteArray& content) const
{
    const QString path = programFolder() + '/' + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

void TestFolder::addSounds(const QStringList& names) const
{
    QDir().mkpath(sounds());
    for (const QString& name : names)
        write(QStringLiteral("sounds/") + name);
}
