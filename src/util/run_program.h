#pragma once
// Starting another program (the file browser on the data folder). The
// program is started with an argument list, never through a shell, so a
// folder name holding quotes or ";" is only ever a name.

#include <string>

namespace varn {

// Starts `program` (looked up on PATH) with `argument` as one argument when
// it is not empty, then the blank-separated words of `extra`. Returns the
// process id, or 0 when the program could not be started. The child is
// reaped in the background so it never lingers as a zombie.
double RunProgram(const std::string& program, const std::string& argument, int windowStyle = 0,
                  const std::string& extra = "");

}  // namespace varn
