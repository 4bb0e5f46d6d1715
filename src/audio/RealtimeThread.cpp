#include "RealtimeThread.h"

#include <algorithm>
#include <sched.h>
#include <sys/resource.h>

namespace {

// PulseAudio's own device threads run at 5; the rest of the process stays ordinary, and no
// child inherits the priority.
constexpr int kPriority = 3;
// How long a real-time thread may run without blocking: the kernel signals the process at the
// first limit (SIGXCPU ends it) and kills it at the second, so a loop that never blocks cannot
// hold a core for good. Ours block every few milliseconds.
constexpr rlim_t kRunLimitUs = 200000;
constexpr rlim_t kKillLimitUs = 400000;

bool limitRealtimeRuns()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    limit.rlim_max = std::min(limit.rlim_max, kKillLimitUs);
    limit.rlim_cur = std::min({limit.rlim_cur, kRunLimitUs, limit.rlim_max});
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

} // namespace

bool runThisThreadAheadOfOrdinaryWork()
{
    // No real-time priority without the limit.
    if (!limitRealtimeRuns())
        return false;
    sched_param param{};
    param.sched_priority = kPriority;
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}
