#pragma once
// The process's scheduling priority: varn raises its own so the ticks keep
// pace with capture, and the programs it starts (hooks) go back to the
// priority an ordinary program has.

namespace varn {

// Lowers the process's nice value so ticks keep pace with capture; a refusal
// (no permission) is ignored. It remembers the value it found.
void RaiseProcessPriority();

// The nice value a program varn starts should run at: the one varn had
// before RaiseProcessPriority (the calling thread's now, when it was never
// raised), but never above normal priority (0).
int ChildNiceValue();

}  // namespace varn
