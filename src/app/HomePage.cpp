#include "HomePage.h"

#include "BrowserLauncher.h"
#include "BuildSettings.h"
#include "RandomDraw.h"

#include <QTime>

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
