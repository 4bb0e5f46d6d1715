#pragma once

#include <random>

// A uniform random generator that is seeded from the clock at each start.
class RandomDraw {
public:
    virtual ~RandomDraw() = default;
    virtual void seed(unsigned value) = 0;
    // A draw from [0, 1).
    virtual double next() = 0;
};

class StandardRandomDraw : public RandomDraw {
public:
    void seed(unsigned value) override { m_engine.seed(value); }
    double next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine); }

private:
    std::mt19937 m_engine;
};
