#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

class ReportBox;

// A guarded procedure written as its numbered statements, in order. After a statement, and
// after a failure has been reported, the procedure goes on with the next statement unless the
// statement says otherwise; a test that answers false goes where it names.

// Where to go on.
struct GoTo {
    enum class Kind { Next, End, Line, Skip };
    Kind kind = Kind::Next;
    int value = 0; // the line (the first statement carrying it), or the statements to skip
};
inline constexpr GoTo kNext{GoTo::Kind::Next};
inline constexpr GoTo kEnd{GoTo::Kind::End};
constexpr GoTo line(int number)
{
    return {GoTo::Kind::Line, number};
}

struct Statement {
    int line = 0;
    // Runs the statement; a test answers its branch, a plain statement true. A failure is
    // thrown as an exception.
    std::function<bool()> action;
    GoTo whenTrue = kNext;
    GoTo whenFalse = kNext;
    GoTo afterFailure = kNext;

    // For a test: where to go on when it answers false.
    Statement orElse(GoTo target) &&
    {
        whenFalse = target;
        return std::move(*this);
    }
    Statement onFailure(GoTo target) &&
    {
        afterFailure = target;
        return std::move(*this);
    }
    // The last statement of a branch: the procedure ends after it, succeeded or failed.
    Statement endsBranch() &&
    {
        whenTrue = whenFalse = afterFailure = kEnd;
        return std::move(*this);
    }
};

Statement Do(int line, std::function<void()> action);
// A test; name where a false answer goes with orElse().
Statement If(int line, std::function<bool()> test);

// A counted loop: the head (headLine) takes the bound and starts `counter` at 1, the body runs
// while the counter does not exceed the bound, and the tail (tailLine) counts up. When the
// bound is below 1, or the head or the tail fails, the procedure goes on after the loop.
std::vector<Statement> CountedLoop(int headLine, int tailLine, qint32& counter,
                                   std::function<qint32()> takeBound, std::vector<Statement> body);

// One statement or a loop of them, as an item of a procedure's list.
struct Part {
    Part(Statement statement) { statements.push_back(std::move(statement)); }
    Part(std::vector<Statement> loop) : statements(std::move(loop)) {}
    std::vector<Statement> statements;
};

class Procedure {
public:
    // Statements and loops, in order. Throws std::logic_error for a target that names no
    // statement, so a wrong table fails the first time it is built.
    Procedure(QString location, std::initializer_list<Part> parts);

    // Runs from the first statement. A failing statement shows the error report with the
    // location and its line. Nothing thrown by a statement leaves the runner.
    void run(ReportBox& box) const;

private:
    void validate() const;
    // The index to go on with from statement `at`; the size of the table ends the run.
    std::size_t resolve(std::size_t at, GoTo target) const;

    QString m_location;
    std::vector<Statement> m_statements;
};
