#include "Procedure.h"

#include "ErrorReport.h"
#include "RunTimeError.h"

#include <memory>
#include <stdexcept>
#include <string>

Statement Do(int line, std::function<void()> action)
{
    return Statement{line, [action = std::move(action)] {
                         action();
                         return true;
                     }};
}

Statement If(int line, std::function<bool()> test)
{
    return Statement{line, std::move(test)};
}

std::vector<Statement> CountedLoop(int headLine, int tailLine, qint32& counter,
                                   std::function<qint32()> takeBound, std::vector<Statement> body)
{
    const int size = int(body.size());
    const GoTo pastTheLoop{GoTo::Kind::Skip, size + 2};
    auto bound = std::make_shared<qint32>(0);
    std::vector<Statement> loop;
    const auto head = [&counter, bound, takeBound = std::move(takeBound)] {
        *bound = takeBound();
        counter = 1;
        return counter <= *bound;
    };
    loop.push_back(If(headLine, head).orElse(pastTheLoop).onFailure(pastTheLoop));
    for (Statement& statement : body)
        loop.push_back(std::move(statement));
    // Back to the first statement of the body while the counter is within the bound.
    Statement tail = If(tailLine, [&counter, bound] { return ++counter <= *bound; });
    tail.whenTrue = GoTo{GoTo::Kind::Skip, -size};
    loop.push_back(std::move(tail));
    return loop;
}

Procedure::Procedure(QString location, std::initializer_list<Part> parts)
    : m_location(std::move(location))
{
    for (const Part& part : parts)
        m_statements.insert(m_statements.end(), part.statements.begin(), part.statements.end());
    validate();
}

std::size_t Procedure::resolve(std::size_t at, GoTo target) const
{
    switch (target.kind) {
    case GoTo::Kind::Next:
        return at + 1;
    case GoTo::Kind::End:
        return m_statements.size();
    case GoTo::Kind::Skip:
        return std::size_t(std::ptrdiff_t(at) + target.value);
    case GoTo::Kind::Line:
        for (std::size_t i = 0; i < m_statements.size(); ++i)
            if (m_statements[i].line == target.value)
                return i;
        break;
    }
    throw std::logic_error("a procedure names no statement at line " +
                           std::to_string(target.value));
}

void Procedure::validate() const
{
    for (std::size_t at = 0; at < m_statements.size(); ++at) {
        const Statement& s = m_statements[at];
        for (GoTo target : {s.whenTrue, s.whenFalse, s.afterFailure})
            if (resolve(at, target) > m_statements.size())
                throw std::logic_error("a procedure jumps outside itself at line " +
                                       std::to_string(s.line));
    }
}

void Procedure::run(ReportBox& box) const
{
    for (std::size_t at = 0; at < m_statements.size();) {
        const Statement& statement = m_statements[at];
        GoTo next;
        QString failure;
        bool failed = true;
        try {
            next = statement.action() ? statement.whenTrue : statement.whenFalse;
            failed = false;
        } catch (const RunTimeError& e) {
            failure = e.description();
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        if (failed) {
            ErrorReport(box, failure, m_location, statement.line);
            next = statement.afterFailure;
        }
        at = resolve(at, next);
    }
}
