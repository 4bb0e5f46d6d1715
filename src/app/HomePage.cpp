#include "HomePage.h"

#include "BuildSettings.h"
#include "RunTimeError.h"

#include <QProcess>
#include <QTime>

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

int drawOneToHundred(double uniform)
{
    return static_cast<int>(100.0 * uniform) + 1;
}

void MaybeOpenHomePage(RandomDraw& random, BrowserLauncher& browser)
{
    random.seed(static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    if (drawOneToHundred(random.next()) == 7)
        browser.open(QStringLiteral(HOME_PAGE));
}
