#include "Procedure.h"

#include "ErrorReport.h"
#include "RunTimeError.h"

#include <memory>
#include <stdexcept>
#include <string>

Statement Do(int line, std::function<void()> action)
{
    return {line, [action = std::move(action)] { return action(), true; }, kNext, kNext, kNext};
}

Statement If(int line, std::function<bool()> test)
{
    return {line, std::move(test), kNext, kNext, kNext};
}

std::vector<Statement> CountedLoop(int headLine, int tailLine, qint32& counter,
                                   std::function<qint32()> takeBound, std::vector<Statement> body)
{
    const int size = int(body.size());
    const GoTo pastTheLoop{GoTo::Skip, size + 2};
    auto bound = std::make_shared<qint32>(0);
    const auto head = [&counter, bound, takeBound = std::move(takeBound)] {
        *bound = takeBound();
        return (counter = 1) <= *bound;
    };
    body.insert(body.begin(), If(headLine, head).orElse(pastTheLoop).onFailure(pastTheLoop));
    body.push_back(If(tailLine, [&counter, bound] { return ++counter <= *bound; }));
    body.back().whenTrue = GoTo{GoTo::Skip, -size}; // back to the first statement of the body
    return body;
}

Procedure::Procedure(QString location, std::initializer_list<Part> parts)
    : m_location(std::move(location))
{
    for (const Part& part : parts)
        m_statements.insert(m_statements.end(), part.statements.begin(), part.statements.end());
    for (std::size_t at = 0; at < m_statements.size(); ++at)
        for (const Statement& s = m_statements[at];
             GoTo to : {s.whenTrue, s.whenFalse, s.afterFailure})
            if (resolve(at, to) > m_statements.size())
                throw std::logic_error("a procedure jumps outside itself at line " +
                                       std::to_string(s.line));
}

std::size_t Procedure::resolve(std::size_t at, GoTo to) const
{
    if (to.kind == GoTo::Line) {
        for (std::size_t i = 0; i < m_statements.size(); ++i)
            if (m_statements[i].line == to.value)
                return i;
        throw std::logic_error("a procedure names no statement at line " +
                               std::to_string(to.value));
    }
    return to.kind == GoTo::Next  ? at + 1
           : to.kind == GoTo::End ? m_statements.size()
                                  : std::size_t(std::ptrdiff_t(at) + to.value);
}

void Procedure::run(ReportBox& box) const
{
    for (std::size_t at = 0; at < m_statements.size();) {
        const Statement& statement = m_statements[at];
        try {
            at = resolve(at, statement.action() ? statement.whenTrue : statement.whenFalse);
            continue;
        } catch (const RunTimeError& e) {
            ErrorReport(box, e.description(), m_location, statement.line);
        } catch (const std::exception& e) {
            ErrorReport(box, QString::fromLocal8Bit(e.what()), m_location, statement.line);
        }
        at = resolve(at, statement.afterFailure);
    }
}
