#pragma once

#include <chrono>

// Whether a stream that ran dry did so by the player's fault: the server asked for sound in
// time and was answered late. Late when the oldest request still unanswered has waited longer
// than `lateAfter`, or when an answer that took longer came within one queue's length before:
// only that could have left the queue short now. Otherwise the server asked too late, or not
// at all. After the end of a sound the stream runs dry on purpose: requests go unanswered until
// the next sound. An answer slower than the whole queue follows a stream that ran dry meanwhile
// (judged then, by the request's wait): it leaves nothing short later.
class LatenessJudge {
public:
    using Clock = std::chrono::steady_clock;
    explicit LatenessJudge(std::chrono::microseconds lateAfter = std::chrono::milliseconds(10))
        : m_lateAfter(lateAfter)
    {}

    // The server asks for sound; an older request still unanswered keeps its time.
    void asked(Clock::time_point now);
    // Sound was written; `queue`: how long the stream's queue lasts when full.
    void answered(Clock::time_point now, std::chrono::microseconds queue);
    // The sound has ended: requests until the next answer are not waited on.
    void idle();
    // The stream ran dry: true when the player is to blame. Starts afresh.
    bool ranDry(Clock::time_point now, std::chrono::microseconds queue);
    // A new stream.
    void reset() { *this = LatenessJudge(m_lateAfter); }

private:
    std::chrono::microseconds m_lateAfter;
    Clock::time_point m_askedAt{};      // the oldest unanswered request, if any
    Clock::time_point m_lateAnswerAt{}; // when an answer last came later than m_lateAfter
    bool m_idle = false;
};
