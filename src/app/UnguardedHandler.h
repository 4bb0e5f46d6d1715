#pragma once

#include "ErrorReport.h"
#include "RunTimeError.h"

#include <exception>

// Runs an event handler that has no numbered steps. A failure ends the handler where it
// happened (what it did before stays done), is reported with the handler's location and
// line 0, and never reaches Qt's event loop.
template <typename Handler>
void runUnguardedHandler(ReportBox& box, const char* location, Handler&& handler)
{
    try {
        handler();
    } catch (const RunTimeError& e) {
        ErrorReport(box, e.description(), QString::fromLatin1(location), 0);
    } catch (const std::exception& e) {
        ErrorReport(box, QString::fromLocal8Bit(e.what()), QString::fromLatin1(location), 0);
    }
}
