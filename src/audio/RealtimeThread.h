#pragma once

// Asks the scheduler to run the calling thread before ordinary work, at a real-time priority
// below the sound server's own, where the system allows it (root, or a real-time limit given
// to the user); elsewhere the thread stays as it was. A thread that feeds a short sound buffer
// must not be held up by a busy machine: the server would play silence in the middle of a sound.
// The process's real-time run limit (RLIMIT_RTTIME) is set first, so that a thread that never
// blocks is stopped by the kernel instead of freezing a core.
// True when granted.
bool runThisThreadAheadOfOrdinaryWork();
