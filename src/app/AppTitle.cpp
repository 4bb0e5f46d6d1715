#include "AppTitle.h"

#include "RunTimeError.h"

namespace {

// Kept apart from Qt's application display name, which Qt would append to every window
// caption on X11.
QString g_applicationTitle;

} // namespace

QString appTitleFrom(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            throw RunTimeError(QStringLiteral("Invalid procedure call or argument"));
        title.truncate(space);
    } while (title.size() > 40);
    return title;
}

void SetAppTitle(const QString& productName)
{
    g_applicationTitle = appTitleFrom(productName);
}

QString applicationTitle()
{
    return g_applicationTitle;
}
