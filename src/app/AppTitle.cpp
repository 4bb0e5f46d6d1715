#include "app/AppTitle.h"

#include "app/RunTimeError.h"

#include <QGuiApplication>

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
    QGuiApplication::setApplicationDisplayName(appTitleFrom(productName));
}
