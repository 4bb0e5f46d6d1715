#pragma once

#include <QString>
#include <functional>
#include <string_view>
#include <vector>

class ReportBox;

// A guarded procedure written as data: numbered steps, each naming where to go on after it
// succeeds (two ways for a test) and where to go on after a failure has been reported.
// Steps are addressed by label because several statements may share one line number.
struct Step {
    std::string_view label;
    int line;
    // Runs the statement. A test answers which branch to take; a plain statement answers true.
    // A failure is thrown as an exception.
    std::function<bool()> action;
    std::string_view onTrue;    // next step when the action answers true; "" ends the procedure
    std::string_view onFalse;   // next step when the action answers false
    std::string_view onFailure; // next step after the failure was reported
};

// Plain statement that always goes on with `next`.
Step statement(std::string_view label, int line, std::function<void()> action,
               std::string_view next, std::string_view onFailure);

inline constexpr std::string_view kEnd = "";

// Runs the steps from the first one. A failing step shows the error report with `location`
// and the step's line, then the procedure goes on as the step's table row says. Nothing
// thrown by a step leaves the runner.
void runProcedure(const std::vector<Step>& steps, const QString& location, ReportBox& box);
