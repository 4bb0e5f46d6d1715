#pragma once

#include <QString>

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
