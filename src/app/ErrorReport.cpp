#include "ErrorReport.h"

#include "BuildSettings.h"

#include <QMessageBox>

QString errorReportText(const QString& description, const QString& location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(qAbs(qint64(line))) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QStringLiteral(SUPPORT_ADDRESS);
}

void ErrorReport(ReportBox& box, const QString& description, const QString& location, int line)
{
    box.show(QString::fromLatin1(kReportTitle), errorReportText(description, location, line));
}

void MessageReportBox::show(const QString& title, const QString& text)
{
    // Every carriage return ends a line, a CR LF pair ends one line only.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Warning, title, shown, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}
