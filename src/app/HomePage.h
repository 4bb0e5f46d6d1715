#pragma once

#include <QString>
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

// Opens a web address in the user's browser without waiting for it.
class BrowserLauncher {
public:
    virtual ~BrowserLauncher() = default;
    // Throws RunTimeError when the browser cannot be started.
    virtual void open(const QString& address) = 0;
};

// Starts the desktop's opener (xdg-open; explorer on Windows) detached.
class DesktopBrowserLauncher : public BrowserLauncher {
public:
    void open(const QString& address) override;
};

// On about one start in a hundred (a draw of 7 from 1..100, seeded from the seconds since
// midnight), opens the maker's home page.
void MaybeOpenHomePage(RandomDraw& random, BrowserLauncher& browser);

// The whole number from 1 to 100 that a draw from [0, 1) gives.
int drawOneToHundred(double uniform);
