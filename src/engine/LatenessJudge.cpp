#include "LatenessJudge.h"

void LatenessJudge::asked(Clock::time_point now)
{
    if (m_askedAt == Clock::time_point{} && !m_idle)
        m_askedAt = now;
}

void LatenessJudge::idle()
{
    reset();
    m_idle = true;
}

void LatenessJudge::answered(Clock::time_point now, std::chrono::microseconds queue)
{
    m_idle = false;
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
    const bool idle = m_idle;
    reset();
    m_idle = idle;
    return waited || answeredLate;
}
