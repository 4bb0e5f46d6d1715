#include "app/Procedure.h"

#include "app/ErrorReport.h"
#include "app/RunTimeError.h"

#include <stdexcept>

Step statement(std::string_view label, int line, std::function<void()> action,
               std::string_view next, std::string_view onFailure)
{
    return Step{label,
                line,
                [action = std::move(action)] {
                    action();
                    return true;
                },
                next,
                next,
                onFailure};
}

namespace {

std::size_t indexOf(const std::vector<Step>& steps, std::string_view label)
{
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i].label == label)
            return i;
    throw std::logic_error("procedure table names an unknown step: " + std::string(label));
}

} // namespace

void runProcedure(const std::vector<Step>& steps, const QString& location, ReportBox& box)
{
    if (steps.empty())
        return;
    std::size_t at = 0;
    for (;;) {
        const Step& step = steps[at];
        std::string_view next;
        QString failure;
        bool failed = true;
        try {
            next = step.action() ? step.onTrue : step.onFalse;
            failed = false;
        } catch (const RunTimeError& e) {
            failure = e.description();
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        if (failed) {
            ErrorReport(box, failure, location, step.line);
            next = step.onFailure;
        }
        if (next == kEnd)
            return;
        at = indexOf(steps, next);
    }
}
