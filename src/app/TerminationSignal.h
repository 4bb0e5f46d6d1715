#pragma once

#include <functional>

class QObject;

// Turns SIGTERM, SIGINT and SIGHUP (a session logout, a kill) into a call of `onSignal` on the
// window's thread, so the program closes the same way as from its close box.
void onTerminationSignal(QObject* owner, std::function<void()> onSignal);
