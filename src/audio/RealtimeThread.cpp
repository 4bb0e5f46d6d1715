#include "RealtimeThread.h"

#include <sched.h>

namespace {

// PulseAudio's own device threads run at 5; the rest of the process stays ordinary, and no
// child inherits the priority.
constexpr int kPriority = 3;

} // namespace

bool runThisThreadAheadOfOrdinaryWork()
{
    sched_param param{};
    param.sched_priority = kPriority;
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}
