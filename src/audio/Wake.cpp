#include "Wake.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

void Wake::notify()
{
    m_word.fetch_add(1);
    if (m_sleeping.load())
        syscall(SYS_futex, &m_word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void Wake::wait(std::uint32_t armed, std::optional<Clock::time_point> deadline)
{
    // The steady clock is CLOCK_MONOTONIC, the clock of an absolute futex deadline.
    timespec until{};
    if (deadline) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline->time_since_epoch())
                .count();
        until.tv_sec = ns / 1000000000;
        until.tv_nsec = ns % 1000000000;
    }
    m_sleeping.store(true);
    while (m_word.load() == armed && !(deadline && Clock::now() >= *deadline))
        syscall(SYS_futex, &m_word, FUTEX_WAIT_BITSET_PRIVATE, armed, deadline ? &until : nullptr,
                nullptr, FUTEX_BITSET_MATCH_ANY);
    m_sleeping.store(false);
}
