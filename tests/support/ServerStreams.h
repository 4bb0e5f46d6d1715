#pragma once

#include <QString>
#include <vector>

// This process's playback streams as the sound server lists them (`pactl list sink-inputs`).
struct ServerStream {
    QString index;
    QString sink; // the device's name
    int channels = 0;
    bool corked = false;
    QString text; // a line of the above, then the server's whole listing of the stream
    // A property's value, or a null string.
    QString property(const QString& key) const;
};
std::vector<ServerStream> streamsOfThisProcess();

// Moves a stream to the named device, as the desktop's sound settings do, and waits, with the
// event loop running, until the server lists a stream of this process there. False when the
// server refused the move or did not make it within a few seconds.
bool moveStream(const ServerStream& stream, const QString& sink);
