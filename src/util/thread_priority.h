#pragma once
// The scheduling class of the program's own long-running threads.

namespace varn {

// The calling thread becomes a batch thread: it keeps its share of the CPU,
// but the scheduler lets a thread that wakes for timely work (the update
// tick, an audio callback) run before it instead of after. Meant for long
// CPU-bound work such as encoding. False when the system refuses; the thread
// then runs as it did.
bool MakeThisThreadBatch();

}  // namespace varn
