#pragma once

#include <memory>

class Voice;

// Where the sound thread leaves the voices it is done with: freeing one (its decoder, its
// buffers, the file's reader) is work for a thread that may take its time.
class VoiceBin {
public:
    virtual ~VoiceBin() = default;
    virtual void discard(std::unique_ptr<Voice> voice) = 0;
};
