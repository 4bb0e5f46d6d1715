#pragma once

// Asks the scheduler to run the calling thread before ordinary work, at a real-time priority
// below the sound server's own, where the system allows it (root, or a real-time limit given
// to the user); elsewhere the thread stays as it was. A thread that feeds a short sound buffer
// must not be held up by a busy machine: the server would play silence in the middle of a sound.
// True when granted.
bool runThisThreadAheadOfOrdinaryWork();
