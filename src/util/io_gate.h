#pragma once
// A seam for tests: every write of an archive file or a log file passes
// this gate first, so a test can make the disk "hang" (the gate waits) or
// "fill up" (the gate says no: the write fails as on a full disk) for the
// paths it chooses. Without a gate set it costs one atomic load.

#include <string>

namespace varn {

// True lets the write go ahead.
using IoGate = bool (*)(const std::string& path);

// Null removes the gate.
void SetIoGate(IoGate gate);
bool PassIoGate(const std::string& path);

}  // namespace varn
