// Must NOT pass scripts/thread_check.sh: the archive worker's thread calls
// the program's end of a lane and the program's thread calls the worker's.
// The script compiles it first to show that the analysis is on at all.

#include "archive/archive_worker.h"

namespace varn {

void WorkerCallsTheProgramsEnd(ArchiveLane& lane) VARN_ARCHIVE_THREAD { lane.StopArchive(); }

void ProgramCallsTheWorkersEnd(ArchiveLane& lane) VARN_PROGRAM_THREAD { lane.RunOne(); }

}  // namespace varn
