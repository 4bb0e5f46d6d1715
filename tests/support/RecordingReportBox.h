#pragma once

#include "ErrorReport.h"

#include <QRegularExpression>
#include <QStringList>

// Records every report instead of showing a box.
class RecordingReportBox : public ReportBox {
public:
    void show(const QString& title, const QString& text) override
    {
        titles.append(title);
        texts.append(text);
    }

    // The "location at line N" part of each report, e.g. "Form_Load 138".
    QStringList places() const
    {
        static const QRegularExpression place(
            QStringLiteral("\\r\\nin Thrumbox2021/08/31\\.Form1\\.(\\w+) at line (\\d+)\\r\\r"));
        QStringList result;
        for (const QString& text : texts) {
            const auto m = place.match(text);
            result.append(m.hasMatch() ? m.captured(1) + ' ' + m.captured(2) : QStringLiteral("?"));
        }
        return result;
    }

    QStringList titles;
    QStringList texts;
};
