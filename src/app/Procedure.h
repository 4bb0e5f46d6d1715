#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

class ReportBox;

// A guarded procedure written as its numbered statements, in order. After a statement, and
// after a failure has been reported, it goes on with the next statement unless the statement
// says otherwise.

// Where to go on: the next statement, the end, the first statement of a line, or a number of
// statements on (within a loop).
struct GoTo {
    enum Kind { Next, End, Line, Skip } kind = Next;
    int value = 0;
};
inline constexpr GoTo kNext{};
inline constexpr GoTo kEnd{GoTo::End};
constexpr GoTo line(int number)
{
    return {GoTo::Line, number};
}

struct Statement {
    int line = 0;
    std::function<bool()> action; // a test answers its branch; a failure is thrown
    GoTo whenTrue, whenFalse, afterFailure;

    // For a test: where a false answer goes.
    Statement orElse(GoTo to) && { return whenFalse = to, std::move(*this); }
    Statement onFailure(GoTo to) && { return afterFailure = to, std::move(*this); }
    // The last statement of a branch: the procedure ends after it, succeeded or failed.
    Statement endsBranch() &&
    {
        return whenTrue = whenFalse = afterFailure = kEnd, std::move(*this);
    }
};

Statement Do(int line, std::function<void()> action);
Statement If(int line, std::function<bool()> test);

// A counted loop: the head takes the bound and starts `counter` at 1, the body runs while the
// counter does not exceed the bound, the tail counts up. A bound below 1, or a failing head
// or tail, goes on after the loop.
std::vector<Statement> CountedLoop(int headLine, int tailLine, qint32& counter,
                                   std::function<qint32()> takeBound, std::vector<Statement> body);

// One statement or a loop, as an item of a procedure.
struct Part {
    Part(Statement statement) : statements{std::move(statement)} {}
    Part(std::vector<Statement> loop) : statements(std::move(loop)) {}
    std::vector<Statement> statements;
};

class Procedure {
public:
    // Throws std::logic_error for a target that names no statement: a wrong table fails the
    // first time it is built.
    Procedure(QString location, std::initializer_list<Part> parts);
    // Runs from the first statement; a failing statement shows the error report with the
    // location and its line. Nothing thrown by a statement leaves the runner.
    void run(ReportBox& box) const;

private:
    std::size_t resolve(std::size_t at, GoTo to) const;

    QString m_location;
    std::vector<Statement> m_statements;
};
