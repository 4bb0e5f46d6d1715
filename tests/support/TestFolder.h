#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh program folder with its own settings folder, removed at the end of the test.
class TestFolder {
public:
    TestFolder();
    QString path() const { return m_dir.path(); }
    QString programFolder() const { return m_dir.path() + QStringLiteral("/program"); }
    QString settingsFolder() const { return m_dir.path() + QStringLiteral("/settings"); }
    QString sounds() const { return programFolder() + QStringLiteral("/sounds"); }

    // Writes a file (parent folders made as needed) and returns its path.
    QString write(const QString& relativePath, const QByteArray& content = QByteArray("x")) const;
    // Creates empty files named `names` in the sounds folder.
    void addSounds(const QStringList& names) const;

private:
    QTemporaryDir m_dir;
};
