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

// Location texts of the procedures that report failures.
namespace Location {
inline constexpr const char* FormLoad = "in Thrumbox2021/08/31.Form1.Form_Load ";
inline constexpr const char* PushButton1Click = "in Thrumbox2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* FormQueryUnload = "in Thrumbox2021/08/31.Form1.Form_QueryUnload ";
inline constexpr const char* Combo1Click = "in Thrumbox2021/08/31.Form1.Combo1_Click ";
inline constexpr const char* Slider1Change = "in Thrumbox2021/08/31.Form1.Slider1_Change ";
inline constexpr const char* Slider2Change = "in Thrumbox2021/08/31.Form1.Slider2_Change ";
inline constexpr const char* PushButton1MouseMove =
    "in Thrumbox2021/08/31.Form1.PushButton1_MouseMove ";
inline constexpr const char* FormMouseMove = "in Thrumbox2021/08/31.Form1.Form_MouseMove ";
inline constexpr const char* Frame2MouseMove = "in Thrumbox2021/08/31.Form1.Frame2_MouseMove ";
inline constexpr const char* Frame3MouseMove = "in Thrumbox2021/08/31.Form1.Frame3_MouseMove ";
} // namespace Location
