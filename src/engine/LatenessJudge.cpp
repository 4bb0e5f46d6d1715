#include "LatenessJudge.h"

void LatenessJudge::asked(Clock::time_point now)
{
    if (m_askedAt == Clock::time_point{})
        m_askedAt = now;
}

void LatenessJudge::answered(Clock::time_point now, std::chrono::microseconds queue)
{
    if (m_askedAt == Clock::time_point{})
        return;
    const auto took = now - m_askedAt;
    if (took > m_lateAfter && took <= queue)
        m_lateAnswerAt = now;
    m_askedAt = {};
}

bool LatenessJudge::ranDry(Clock::time_point now, std::chrono::microseconds queue)
{
    const bool waited = m_askedAt != Clock::time_point{} && now - m_askedAt > m_lateAfter;
    const bool answeredLate =
        m_lateAnswerAt != Clock::time_point{} && now - m_lateAnswerAt <= queue;
    reset();
    return waited || answeredLate;
}
