#pragma once

#include "ChannelRouting.h"

#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct sf_private_tag;

// A sound file being read: opened and decoded with libsndfile, its frames handed out in order.
// A thread of its own at an ordinary priority decodes ahead into a ring and read() only takes
// what is there, so a file whose reads hang (a stalled disk or network folder) never holds up
// the thread that plays it, nor any other file: it falls silent instead.
class FileReader : public std::enable_shared_from_this<FileReader> {
public:
    // Opens the file. Throws std::runtime_error with a readable reason when it cannot be
    // decoded.
    explicit FileReader(const QString& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int channels() const { return m_channels; }
    int rate() const { return m_rate; }
    // Where each channel is meant to sound: the file's own layout where it declares one, else
    // the standard one for its format and channel count.
    const SpeakerLayout& layout() const { return m_layout; }

    // Decodes the start, what the output's first queue takes at the playback rate `rate`, then
    // goes on decoding ahead on a thread of its own until let go. Call once, before the first
    // read, on a reader owned by a shared_ptr. Without `ownThread` the caller decodes ahead
    // itself, with decodeAhead(): a test, step by step.
    void readAhead(double rate, bool ownThread = true);
    void decodeAhead();
    // Up to `frames` frames into `dest`; fewer at the end, or when reading ahead has fallen
    // behind. `loop`: the end is followed by the start again.
    std::size_t read(float* dest, std::size_t frames, bool loop);
    // Everything has been read.
    bool ended() const;

    // The player is done with it: reading ahead ends, and the file is closed with the last
    // owner.
    void letGo();

private:
    void runAhead();
    // Decodes into the ring while it has room; false when nothing more can be done now (full,
    // at the end, or let go).
    bool topUp();
    std::size_t decode(float* dest, std::size_t frames, bool loop);
    void wakeReader();

    sf_private_tag* m_file = nullptr;
    int m_channels = 0;
    int m_rate = 0;
    SpeakerLayout m_layout;

    // Bumped and notified whenever the ring has room or the reader is let go.
    std::atomic<std::uint32_t> m_wake{0};
    std::unique_ptr<float[]> m_ring;
    std::size_t m_ringFrames = 0;
    std::atomic<std::uint64_t> m_written{0}; // frames put into the ring, ever
    std::atomic<std::uint64_t> m_taken{0};   // frames taken from it
    std::atomic<bool> m_loop{false};
    std::atomic<bool> m_atEnd{false}; // the file has no more frames for the ring
    std::atomic<bool> m_letGo{false};
    bool m_ownThread = false;
};
