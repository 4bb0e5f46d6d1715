#include "Wake.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

void Wake::notify()
{
    m_word.fetch_add(1, std::memory_order_acq_rel);
    syscall(SYS_futex, &m_word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void Wake::wait(std::uint32_t armed, std::optional<Clock::time_point> deadline)
{
    // The steady clock is CLOCK_MONOTONIC, the clock of an absolute futex deadline.
    timespec until{};
    if (deadline) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            deadline->time_since_epoch())
                            .count();
        until.tv_sec = ns / 1000000000;
        until.tv_nsec = ns % 1000000000;
    }
    while (m_word.load(std::memory_order_acquire) == armed) {
        if (deadline && Clock::now() >= *deadline)
            return;
        syscall(SYS_futex, &m_word, FUTEX_WAIT_BITSET_PRIVATE, armed, deadline ? &until : nullptr,
                nullptr, FUTEX_BITSET_MATCH_ANY);
    }
}
