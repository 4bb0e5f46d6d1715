#pragma once

#include <QString>

// Where the error report is shown. The application shows a modal message box; tests record.
class ReportBox {
public:
    virtual ~ReportBox() = default;
    // Shows the text with the given title and returns once the user has closed the box.
    virtual void show(const QString& title, const QString& text) = 0;
};

// The modal warning box with one OK button.
class MessageReportBox : public ReportBox {
public:
    void show(const QString& title, const QString& text) override;
};

inline constexpr const char* kReportTitle = "Application Error";

// The report text: description, CR LF, location, "at line ", line, CR, CR, support request.
QString errorReportText(const QString& description, const QString& location, int line);

// Builds the report text and shows it in `box`, waiting until it is closed.
void ErrorReport(ReportBox& box, const QString& description, const QString& location, int line);
