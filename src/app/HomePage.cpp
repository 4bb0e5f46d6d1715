#include "app/HomePage.h"

#include "BuildSettings.h"
#include "app/RunTimeError.h"

#include <QProcess>
#include <QTime>

void DesktopBrowserLauncher::open(const QString& address)
{
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("explorer");
    const QStringList arguments{QLatin1Char('"') + address + QLatin1Char('"')};
#else
    const QString program = QStringLiteral("xdg-open");
    const QStringList arguments{address};
#endif
    if (!QProcess::startDetached(program, arguments))
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
