#pragma once

#include <functional>

class BrowserLauncher;
class RandomDraw;
class ReportBox;
class SettingsStore;

// What the window's handlers reach outside the window; tests stand in for each of them.
struct Services {
    ReportBox& report;
    SettingsStore& settings;
    RandomDraw& random;
    BrowserLauncher& browser;
    // Ends the process at once, without running anything further.
    std::function<void()> endProcess;
};
