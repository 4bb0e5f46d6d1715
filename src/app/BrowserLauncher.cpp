#include "BrowserLauncher.h"

#include "RunTimeError.h"

#include <QProcess>

void DesktopBrowserLauncher::open(const QString& address)
{
#ifdef Q_OS_WIN
    // The command line exactly as written: explorer, a space, the address in quotes. Given as
    // an argument, QProcess would quote the quotes once more.
    QProcess process;
    process.setProgram(QStringLiteral("explorer"));
    process.setNativeArguments(QLatin1Char('"') + address + QLatin1Char('"'));
    const bool started = process.startDetached();
#else
    const bool started = QProcess::startDetached(QStringLiteral("xdg-open"), {address});
#endif
    if (!started)
        throw RunTimeError(QStringLiteral("File not found"));
}
