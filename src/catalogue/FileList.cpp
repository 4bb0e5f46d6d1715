#include "FileList.h"

#include "FileProbes.h"
#include "NativeName.h"

#include <QRegularExpression>
#include <algorithm>

#ifdef Q_OS_WIN
#include <QDirIterator>
#else
#include <dirent.h>
#endif

namespace {

bool matchesEverything(const QString& pattern)
{
    return pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
}

bool stableOrder(const QString& a, const QString& b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return encodeFileName(a) < encodeFileName(b);
}

// Every name in the folder but "." and "..": files of any kind, hidden ones too. A missing
// folder has none.
QStringList namesIn(const QString& folder)
{
    QStringList names;
#ifdef Q_OS_WIN
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
#else
    DIR* dir = ::opendir(encodeFileName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(decodeFileName(name));
    }
    ::closedir(dir);
#endif
    return names;
}

} // namespace

NameList GetFileList(QString folder, const QString& pattern)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    const bool everything = matchesEverything(pattern);
    const QRegularExpression wildcard(
        everything ? QString() : QRegularExpression::wildcardToRegularExpression(pattern),
        QRegularExpression::CaseInsensitiveOption);

    QStringList listed;
    for (const QString& name : namesIn(folder))
        if (everything || wildcard.match(name).hasMatch())
            listed.append(name);
    std::sort(listed.begin(), listed.end(), stableOrder);

    // Room for 100 names, then 50 more at a time; cut to size at the end.
    NameList result;
    result.lower = 1;
    result.upper = 100;
    result.names = QStringList(100);
    int n = 0;
    for (const QString& name : listed) {
        if (!FileIsPresent(folder + name))
            continue;
        ++n;
        if (n > result.upper) {
            result.upper += 50;
            result.names.resize(result.upper);
        }
        result.names[n - 1] = name;
    }
    if (n == 0)
        return NameList{};
    if (n < result.upper) {
        result.upper = n;
        result.names.resize(n);
    }
    return result;
}

QString entryText(const QString& fileName)
{
    // QString::remove scans once from the left and does not look again at what it joins.
    QString text = fileName;
    return text.remove(QStringLiteral(".mp3"), Qt::CaseSensitive);
}
