#pragma once

#include <chrono>

// Where the engine reads the time for its deadlines (the warm spell, the open limit, how long
// the queue has gone without running dry): the steady clock, or one a test sets.
class EngineClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~EngineClock() = default;
    virtual time_point now() const = 0;
};

class SteadyEngineClock : public EngineClock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
};
